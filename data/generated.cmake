# Resource tables generated from text sources at build time.
set(MYKO_DISTRICTS_DAT ${MYKO_PROGRAM_DIR}/Data/Res/Districts.dat)
add_custom_command(OUTPUT ${MYKO_DISTRICTS_DAT}
  COMMAND gendistricts ${CMAKE_CURRENT_SOURCE_DIR}/districts.txt ${MYKO_DISTRICTS_DAT}
  DEPENDS gendistricts ${CMAKE_CURRENT_SOURCE_DIR}/districts.txt
  COMMENT "Generating Data/Res/Districts.dat"
  VERBATIM)
add_custom_target(districts ALL DEPENDS ${MYKO_DISTRICTS_DAT})

# Pictures of Sweden drawn from the committed outline data (data/geo): the region outlines
# "P00I00".."P07I00" of the region map, the numbered regions and the overview map. They are
# built into the controls library as resources under ":/geo/".
set(MYKO_GEO_DIR ${CMAKE_BINARY_DIR}/geo)
set(MYKO_GEO_PICTURES)
foreach(i RANGE 7)
  list(APPEND MYKO_GEO_PICTURES ${MYKO_GEO_DIR}/P0${i}I00.png)
endforeach()
list(APPEND MYKO_GEO_PICTURES ${MYKO_GEO_DIR}/SwedenRegionNumbers.png ${MYKO_GEO_DIR}/SwedenOverview.png)
add_custom_command(OUTPUT ${MYKO_GEO_PICTURES}
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:genregions>
          ${CMAKE_CURRENT_SOURCE_DIR}/geo/sweden_outline.txt ${CMAKE_CURRENT_SOURCE_DIR}/geo/sweden_regions.txt ${MYKO_GEO_DIR}
  DEPENDS genregions ${CMAKE_CURRENT_SOURCE_DIR}/geo/sweden_outline.txt ${CMAKE_CURRENT_SOURCE_DIR}/geo/sweden_regions.txt
  COMMENT "Drawing the pictures of Sweden"
  VERBATIM)
add_custom_target(geopictures ALL DEPENDS ${MYKO_GEO_PICTURES})
qt_add_resources(mykocontrols swedengeo PREFIX /geo BASE ${MYKO_GEO_DIR} FILES ${MYKO_GEO_PICTURES})
