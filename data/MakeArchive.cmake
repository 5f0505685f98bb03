# Builds the data archive: every file under Data/ and Graphics/ of SOURCE_DIR,
# stored as "Data/..." and "Graphics/...", each entry AES-256 encrypted with
# the game's password (the engine's ZIP reader decrypts only AES).
#
#   cmake -DSEVENZIP=<7zz> -DSOURCE_DIR=<folder holding Data/ and Graphics/>
#         -DKEY_SOURCE=<data/DataArchive.cpp> -DARCHIVE=<output file>
#         -P MakeArchive.cmake
#
# The password is derived here from the constants in KEY_SOURCE, the same
# way CDataArchive::GetPassword does, so it is written down nowhere else and
# never appears in the build files.
cmake_minimum_required(VERSION 3.25)

foreach(var SEVENZIP SOURCE_DIR KEY_SOURCE ARCHIVE)
  if(NOT DEFINED ${var} OR "${${var}}" STREQUAL "")
    message(FATAL_ERROR "MakeArchive.cmake: ${var} is not set")
  endif()
endforeach()

# --- The password ---------------------------------------------------------------
file(READ "${KEY_SOURCE}" key_source)
if(NOT key_source MATCHES "constexpr wchar_t kKeyText\\[\\] = L\"([A-Za-z0-9 ]*)\";")
  message(FATAL_ERROR "MakeArchive.cmake: no kKeyText in ${KEY_SOURCE}")
endif()
set(key_text "${CMAKE_MATCH_1}")
if(NOT key_source MATCHES "constexpr uint32_t kKeyStart = ([1-9][0-9]*|0);")
  message(FATAL_ERROR "MakeArchive.cmake: no kKeyStart in ${KEY_SOURCE}")
endif()
set(key_start "${CMAKE_MATCH_1}")
if(NOT key_source MATCHES "constexpr uint32_t kKeyNumber = ([1-9][0-9]*|0);")
  message(FATAL_ERROR "MakeArchive.cmake: no kKeyNumber in ${KEY_SOURCE}")
endif()
set(key_number "${CMAKE_MATCH_1}")
string(LENGTH "${key_text}" key_length)
math(EXPR key_end "${key_start} + 21")
if(NOT key_length EQUAL 39 OR key_end GREATER key_length)
  message(FATAL_ERROR "MakeArchive.cmake: the key text in ${KEY_SOURCE} is not as expected")
endif()
string(SUBSTRING "${key_text}" ${key_start} 21 key_piece)
set(password "${key_piece}${key_number}")

# --- The files --------------------------------------------------------------------
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE "${SOURCE_DIR}"
  "${SOURCE_DIR}/Data/*" "${SOURCE_DIR}/Graphics/*")
list(SORT files)
if(NOT files)
  file(REMOVE "${ARCHIVE}")
  message(WARNING "No files under ${SOURCE_DIR}/Data or ${SOURCE_DIR}/Graphics: ${ARCHIVE} not built")
  return()
endif()

# Built aside and moved in place: adding to an old archive would keep files
# that were removed since, and a failed run must not leave half an archive.
get_filename_component(archive_dir "${ARCHIVE}" DIRECTORY)
file(MAKE_DIRECTORY "${archive_dir}")
set(work "${ARCHIVE}.part.zip")
set(list_file "${ARCHIVE}.files")
file(REMOVE "${work}")
list(JOIN files "\n" file_lines)
file(WRITE "${list_file}" "${file_lines}\n")
execute_process(
  COMMAND "${SEVENZIP}" a -tzip -mem=AES256 "-p${password}" -scsUTF-8 -bd -bso0 -bsp0 "${work}" "@${list_file}"
  WORKING_DIRECTORY "${SOURCE_DIR}"
  RESULT_VARIABLE result)
file(REMOVE "${list_file}")
if(NOT result EQUAL 0)
  file(REMOVE "${work}")
  message(FATAL_ERROR "MakeArchive.cmake: ${SEVENZIP} failed (${result})")
endif()
file(RENAME "${work}" "${ARCHIVE}")
