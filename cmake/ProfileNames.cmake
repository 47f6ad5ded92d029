# The resource names of the catalogue, in table order, read from its one home (format/LanguageTable.cpp):
# TM_PROFILE_NAMES. The resource script of the profiles is generated from it, and so are the window
# tests' resource modules. A table that no longer has kLanguageCount rows stops the configuration.
set(tm_table_source ${PROJECT_SOURCE_DIR}/format/LanguageTable.cpp)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  ${tm_table_source} ${PROJECT_SOURCE_DIR}/format/LanguageTable.h)
file(STRINGS ${tm_table_source} tm_table_rows ENCODING UTF-8 REGEX "^ *[{]u\"[^\"]*\", u\"[A-Z_]+\",")
set(TM_PROFILE_NAMES "")
foreach(row IN LISTS tm_table_rows)
  string(REGEX MATCH "u\"([A-Z_]+)\"," _ "${row}")
  list(APPEND TM_PROFILE_NAMES ${CMAKE_MATCH_1})
endforeach()
file(STRINGS ${PROJECT_SOURCE_DIR}/format/LanguageTable.h tm_count_line REGEX "kLanguageCount = [0-9]+")
string(REGEX MATCH "[0-9]+" tm_language_count "${tm_count_line}")
list(LENGTH TM_PROFILE_NAMES tm_names_found)
if(NOT tm_names_found EQUAL tm_language_count)
  message(FATAL_ERROR "format/LanguageTable.cpp: ${tm_names_found} rows read, kLanguageCount is "
                      "${tm_language_count}; keep one row a line: {u\"display name\", u\"NAME\", ...}")
endif()
