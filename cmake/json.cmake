# Debian's nlohmann-json, a library of headers only: the Linux build finds it
# as a package; a cross build takes the same headers through a folder of its
# own that holds nothing else, since /usr/include as a whole would put the
# Linux C library's headers before MinGW's.
add_library(burnbench_json INTERFACE)
if(CMAKE_CROSSCOMPILING)
  find_path(BURNBENCH_NLOHMANN_DIR nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(json_include ${CMAKE_BINARY_DIR}/nlohmann-json/include)
  file(MAKE_DIRECTORY ${json_include})
  file(CREATE_LINK ${BURNBENCH_NLOHMANN_DIR}/nlohmann ${json_include}/nlohmann SYMBOLIC)
  target_include_directories(burnbench_json SYSTEM INTERFACE ${json_include})
else()
  find_package(nlohmann_json 3.10 REQUIRED)
  target_link_libraries(burnbench_json INTERFACE nlohmann_json::nlohmann_json)
endif()
