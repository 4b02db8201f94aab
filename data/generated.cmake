# Resource tables generated from text sources at build time.
set(MYKO_DISTRICTS_DAT ${MYKO_PROGRAM_DIR}/Data/Res/Districts.dat)
add_custom_command(OUTPUT ${MYKO_DISTRICTS_DAT}
  COMMAND gendistricts ${CMAKE_CURRENT_SOURCE_DIR}/districts.txt ${MYKO_DISTRICTS_DAT}
  DEPENDS gendistricts ${CMAKE_CURRENT_SOURCE_DIR}/districts.txt
  COMMENT "Generating Data/Res/Districts.dat"
  VERBATIM)
add_custom_target(districts ALL DEPENDS ${MYKO_DISTRICTS_DAT})

# The sample map sheet, drawn from the committed outline of Sweden.
set(MYKO_SAMPLE_MAP ${MYKO_PROGRAM_DIR}/Data/Samples/Kalmarsund.rik)
add_custom_command(OUTPUT ${MYKO_SAMPLE_MAP}
  COMMAND genmapsheet ${CMAKE_CURRENT_SOURCE_DIR}/geo/sweden_outline.txt ${MYKO_SAMPLE_MAP}
          ${MYKO_PROGRAM_DIR}/Data/Db/Maps.dat
  DEPENDS genmapsheet ${CMAKE_CURRENT_SOURCE_DIR}/geo/sweden_outline.txt
  COMMENT "Generating Data/Samples/Kalmarsund.rik"
  VERBATIM)
add_custom_target(samplemap ALL DEPENDS ${MYKO_SAMPLE_MAP})

# The stock pictures of the species pictures, drawn into Data/Pics.
set(MYKO_STOCK_PICS)
foreach(name _WebPic_sml _WebPic_lrg _BrokenPic_sml _PicMissing _NoMainPic)
  list(APPEND MYKO_STOCK_PICS ${MYKO_PROGRAM_DIR}/Data/Pics/${name}.bmp)
endforeach()
add_custom_command(OUTPUT ${MYKO_STOCK_PICS}
  COMMAND genstockpics ${MYKO_PROGRAM_DIR}/Data/Pics
  DEPENDS genstockpics
  COMMENT "Drawing the stock pictures of Data/Pics"
  VERBATIM)
add_custom_target(stockpics ALL DEPENDS ${MYKO_STOCK_PICS})

# The species catalogue: generated from data/catalogue into the build folder, then given to
# the program folder only where its files are missing, so that a build never replaces a
# user's tables, completions, notes or pictures.
file(GLOB MYKO_CATALOGUE_SRC CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/catalogue/*.json)
set(MYKO_CATALOGUE_STAGING ${CMAKE_BINARY_DIR}/catalogue)
add_custom_command(OUTPUT ${MYKO_CATALOGUE_STAGING}/generated.stamp
  COMMAND gencatalogue generate ${CMAKE_CURRENT_SOURCE_DIR}/catalogue ${MYKO_CATALOGUE_STAGING}
  COMMAND ${CMAKE_COMMAND} -E touch ${MYKO_CATALOGUE_STAGING}/generated.stamp
  DEPENDS gencatalogue ${MYKO_CATALOGUE_SRC}
  COMMENT "Generating the species catalogue"
  VERBATIM)
add_custom_target(catalogue ALL
  COMMAND gencatalogue install ${MYKO_CATALOGUE_STAGING} ${MYKO_PROGRAM_DIR}
  DEPENDS ${MYKO_CATALOGUE_STAGING}/generated.stamp
  COMMENT "Giving the program folder the catalogue files it lacks"
  VERBATIM)
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

# The knowledge-base articles: packed from data/knowbase into the build folder, then given to
# the program folder only where its files are missing, so a user's articles stay untouched.
file(GLOB_RECURSE MYKO_KNOWBASE_SRC CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/knowbase/*)
set(MYKO_KNOWBASE_STAGING ${CMAKE_BINARY_DIR}/knowbase)
add_custom_command(OUTPUT ${MYKO_KNOWBASE_STAGING}/generated.stamp
  COMMAND genknowbase generate ${CMAKE_CURRENT_SOURCE_DIR}/knowbase ${MYKO_KNOWBASE_STAGING}
  COMMAND ${CMAKE_COMMAND} -E touch ${MYKO_KNOWBASE_STAGING}/generated.stamp
  DEPENDS genknowbase ${MYKO_KNOWBASE_SRC}
  COMMENT "Packing the knowledge-base articles"
  VERBATIM)
add_custom_target(knowbase ALL
  COMMAND genknowbase install ${MYKO_KNOWBASE_STAGING} ${MYKO_PROGRAM_DIR}
  DEPENDS ${MYKO_KNOWBASE_STAGING}/generated.stamp
  COMMENT "Giving the program folder the knowledge-base articles it lacks"
  VERBATIM)

# The internet resources and the recipes: generated from data/resources into the build folder,
# then given to the program folder only where its files are missing.
set(MYKO_RESOURCES_SRC ${CMAKE_CURRENT_SOURCE_DIR}/resources/internet.json ${CMAKE_CURRENT_SOURCE_DIR}/resources/recipes.json)
set(MYKO_RESOURCES_STAGING ${CMAKE_BINARY_DIR}/resources)
add_custom_command(OUTPUT ${MYKO_RESOURCES_STAGING}/generated.stamp
  COMMAND genresources generate ${CMAKE_CURRENT_SOURCE_DIR}/resources ${MYKO_RESOURCES_STAGING}
  COMMAND ${CMAKE_COMMAND} -E touch ${MYKO_RESOURCES_STAGING}/generated.stamp
  DEPENDS genresources ${MYKO_RESOURCES_SRC}
  COMMENT "Generating the internet resources"
  VERBATIM)
add_custom_target(shippedresources ALL
  COMMAND genresources install ${MYKO_RESOURCES_STAGING} ${MYKO_PROGRAM_DIR}
  DEPENDS ${MYKO_RESOURCES_STAGING}/generated.stamp
  COMMENT "Giving the program folder the internet resources it lacks"
  VERBATIM)

# The program's print scripts: each readable script of data/printscripts (with its shared parts
# under common/) written by the script writer as a script file into Data/Scripts.
file(GLOB MYKO_PRINTSCRIPT_SRC CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/printscripts/*.txt)
file(GLOB MYKO_PRINTSCRIPT_PARTS CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/printscripts/common/*.txt)
set(MYKO_PRINTSCRIPTS)
foreach(src ${MYKO_PRINTSCRIPT_SRC})
  get_filename_component(name ${src} NAME_WE)
  set(out ${MYKO_PROGRAM_DIR}/Data/Scripts/${name}.qsf)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen $<TARGET_FILE:qsfwrite> ${src} ${out}
    DEPENDS qsfwrite ${src} ${MYKO_PRINTSCRIPT_PARTS}
    COMMENT "Writing Data/Scripts/${name}.qsf"
    VERBATIM)
  list(APPEND MYKO_PRINTSCRIPTS ${out})
endforeach()
add_custom_target(printscripts ALL DEPENDS ${MYKO_PRINTSCRIPTS})
