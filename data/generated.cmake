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
