# Run as a build step: cmake -DDIR=<folder> -P place_dictionary_file.cmake
# Creates an empty dictionary in DIR when none is there; an existing one is never touched.
if(NOT EXISTS "${DIR}/NUV_Tolvek.lib")
  file(WRITE "${DIR}/NUV_Tolvek.lib" "")
endif()
