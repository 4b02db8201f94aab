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
  DEPENDS genmapsheet ${CMAKE_CURRENT_SOURCE_DIR}/geo/sweden_outline.txt
  COMMENT "Generating Data/Samples/Kalmarsund.rik"
  VERBATIM)
add_custom_target(samplemap ALL DEPENDS ${MYKO_SAMPLE_MAP})
