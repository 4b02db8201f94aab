# Resource tables generated from text sources at build time.
set(MYKO_DISTRICTS_DAT ${MYKO_PROGRAM_DIR}/Data/Res/Districts.dat)
add_custom_command(OUTPUT ${MYKO_DISTRICTS_DAT}
  COMMAND gendistricts ${CMAKE_CURRENT_SOURCE_DIR}/districts.txt ${MYKO_DISTRICTS_DAT}
  DEPENDS gendistricts ${CMAKE_CURRENT_SOURCE_DIR}/districts.txt
  COMMENT "Generating Data/Res/Districts.dat"
  VERBATIM)
add_custom_target(districts ALL DEPENDS ${MYKO_DISTRICTS_DAT})
