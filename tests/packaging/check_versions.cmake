# Checks that the documents that carry the version by hand name the project's version:
# the top entry of the Debian changelog, the newest release of the AppStream metadata and
# every manual page whose .TH line names a version (its source field, "Sorbit 0.9.2.1").
# A new version needs a new entry in each.
# Usage: cmake -DVERSION=x.y.z.w -DSOURCE_DIR=... -P check_versions.cmake
set(failures "")

file(STRINGS ${SOURCE_DIR}/packaging/changelog first_line LIMIT_COUNT 1)
if(NOT first_line MATCHES "^sorbit \\(([^)]+)\\) ")
  string(APPEND failures "packaging/changelog: no entry line at the top: ${first_line}\n")
elseif(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  string(APPEND failures "packaging/changelog: top entry is ${CMAKE_MATCH_1}, not ${VERSION}\n")
endif()

file(GLOB metainfo ${SOURCE_DIR}/packaging/*.metainfo.xml)
foreach(file ${metainfo})
  file(READ ${file} text)
  if(NOT text MATCHES "<release version=\"([^\"]+)\"")
    string(APPEND failures "${file}: no release\n")
  elseif(NOT CMAKE_MATCH_1 STREQUAL VERSION)
    string(APPEND failures "${file}: newest release is ${CMAKE_MATCH_1}, not ${VERSION}\n")
  endif()
endforeach()

file(GLOB pages ${SOURCE_DIR}/docs/man/*.1)
foreach(page ${pages})
  file(STRINGS ${page} th REGEX "^\\.TH " LIMIT_COUNT 1)
  if(th MATCHES "\"[^\"]* ([0-9][0-9.]*)\"" AND NOT CMAKE_MATCH_1 STREQUAL VERSION)
    string(APPEND failures "${page}: .TH names ${CMAKE_MATCH_1}, not ${VERSION}\n")
  endif()
endforeach()

if(NOT metainfo OR NOT pages)
  string(APPEND failures "no metainfo or no manual pages found under ${SOURCE_DIR}\n")
endif()
if(failures)
  message(FATAL_ERROR "${failures}")
endif()
