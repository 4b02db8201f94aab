cmake_minimum_required(VERSION 3.25)
# Fails when a production source writes a file by another way than the checked atomic
# writer (platform/AtomicFile): QSaveFile, a temporary file, a copy, a C or C++ stream
# opened for writing, a descriptor opened for writing, or a QFile opened to write.
#   cmake -DSOURCE_DIR=<tree> [-DFILES=<;-list of files instead of the tree>]
#         -DALLOWED=<file of "path: reason" lines> -P CheckWriters.cmake
set(patterns
  "QSaveFile"
  "QTemporaryFile"
  "QFile::copy|\\.copy\\([^)]*,"
  "fopen[ \t]*\\("
  "ofstream|fstream[ \t]"
  "O_WRONLY|O_RDWR|O_CREAT|O_TRUNC"
  "QIODevice::(WriteOnly|ReadWrite|Append)|QFile::(WriteOnly|ReadWrite|Append)")
if(FILES)
  set(sources ${FILES})
else()
  set(sources)
  foreach(dir app core content controls platform script zip)
    file(GLOB_RECURSE found ${SOURCE_DIR}/${dir}/*.cpp ${SOURCE_DIR}/${dir}/*.h)
    list(APPEND sources ${found})
  endforeach()
endif()
set(allowed)
if(ALLOWED AND EXISTS "${ALLOWED}")
  file(STRINGS "${ALLOWED}" lines REGEX "^[^#].*:")
  foreach(line ${lines})
    string(REGEX REPLACE ":.*$" "" path "${line}")
    list(APPEND allowed "${path}")
  endforeach()
endif()
set(failures)
foreach(src ${sources})
  file(RELATIVE_PATH rel "${SOURCE_DIR}" "${src}")
  # The writer itself.
  if(rel MATCHES "^platform/AtomicFile\\.(cpp|h)$" OR rel IN_LIST allowed)
    continue()
  endif()
  file(STRINGS "${src}" lines)
  set(n 0)
  foreach(line IN LISTS lines)
    math(EXPR n "${n} + 1")
    # Comments do not write; an in-memory buffer and a device opening itself neither.
    string(REGEX REPLACE "//.*$" "" code "${line}")
    if(code MATCHES "[Bb]uffer[A-Za-z]*(\\.|->)open\\(|(^|[{;])[ \t]*open\\(QIODevice::|QBuffer")
      continue()
    endif()
    foreach(p ${patterns})
      if(code MATCHES "${p}")
        list(APPEND failures "${rel}:${n}: ${line}")
        break()
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "Files written outside TAtomicFile (platform/AtomicFile):\n${text}")
endif()
message(STATUS "Every file is written through TAtomicFile.")
