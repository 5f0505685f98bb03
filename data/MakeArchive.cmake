# Builds the data archive: every file under Data/ and Graphics/ of SOURCE_DIR,
# and under Data/ of GENERATED_DIR (data made at build time; optional),
# stored as "Data/..." and "Graphics/...", each entry AES-256 encrypted with
# the game's password (the engine's ZIP reader decrypts only AES).
#
#   cmake -DSEVENZIP=<7zz> -DSOURCE_DIR=<folder holding Data/ and Graphics/>
#         [-DGENERATED_DIR=<folder holding made Data/>]
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
set(made_files "")
if(DEFINED GENERATED_DIR AND NOT "${GENERATED_DIR}" STREQUAL "")
  file(GLOB_RECURSE made_files LIST_DIRECTORIES false RELATIVE "${GENERATED_DIR}" "${GENERATED_DIR}/Data/*")
  list(SORT made_files)
  foreach(made ${made_files})
    if(made IN_LIST files)
      message(FATAL_ERROR "MakeArchive.cmake: ${made} is made by the build and also stands in ${SOURCE_DIR}")
    endif()
  endforeach()
endif()
if(NOT files AND NOT made_files)
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

# Adds the listed files, named relative to root, to the work archive.
function(add_to_archive root)
  if(NOT ARGN)
    return()
  endif()
  list(JOIN ARGN "\n" file_lines)
  file(WRITE "${list_file}" "${file_lines}\n")
  execute_process(
    COMMAND "${SEVENZIP}" a -tzip -mem=AES256 "-p${password}" -scsUTF-8 -bd -bso0 -bsp0 "${work}" "@${list_file}"
    WORKING_DIRECTORY "${root}"
    RESULT_VARIABLE result)
  file(REMOVE "${list_file}")
  if(NOT result EQUAL 0)
    file(REMOVE "${work}")
    message(FATAL_ERROR "MakeArchive.cmake: ${SEVENZIP} failed (${result})")
  endif()
endfunction()

add_to_archive("${SOURCE_DIR}" ${files})
if(made_files)
  add_to_archive("${GENERATED_DIR}" ${made_files})
endif()
file(RENAME "${work}" "${ARCHIVE}")
