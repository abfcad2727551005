# One interface target carries every compile flag; each library links it.
add_library(mirx_options INTERFACE)
target_compile_features(mirx_options INTERFACE cxx_std_20)
target_include_directories(mirx_options INTERFACE ${PROJECT_SOURCE_DIR})
target_compile_options(mirx_options INTERFACE -Wall -Wextra -Wpedantic -Wshadow
                       -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Wformat=2
                       -Wimplicit-fallthrough)
target_compile_definitions(mirx_options INTERFACE
  MIRX_VERSION_MAJOR=${PROJECT_VERSION_MAJOR}
  MIRX_VERSION_MINOR=${PROJECT_VERSION_MINOR}
  MIRX_VERSION_PATCH=${PROJECT_VERSION_PATCH}
  MIRX_VERSION_TEXT="${PROJECT_VERSION}")
if(MIRX_WERROR)
  target_compile_options(mirx_options INTERFACE -Werror)
endif()

find_package(Threads REQUIRED)
target_link_libraries(mirx_options INTERFACE Threads::Threads)

if(MIRX_SANITIZE STREQUAL "address")
  target_compile_options(mirx_options INTERFACE -fsanitize=address,undefined
                         -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(mirx_options INTERFACE -fsanitize=address,undefined)
elseif(MIRX_SANITIZE STREQUAL "thread")
  target_compile_options(mirx_options INTERFACE -fsanitize=thread -fno-omit-frame-pointer)
  target_link_options(mirx_options INTERFACE -fsanitize=thread)
elseif(MIRX_SANITIZE STREQUAL "fuzzer")
  target_compile_options(mirx_options INTERFACE -fsanitize=fuzzer-no-link,address,undefined
                         -fno-omit-frame-pointer)
  target_link_options(mirx_options INTERFACE -fsanitize=address,undefined)
elseif(NOT MIRX_SANITIZE STREQUAL "")
  message(FATAL_ERROR "Unknown MIRX_SANITIZE value '${MIRX_SANITIZE}'")
endif()

# A library of a no-Qt layer: fails the configure if anything ever links Qt into it.
function(mirx_add_core_library name)
  add_library(${name} STATIC ${ARGN})
  target_link_libraries(${name} PUBLIC mirx_options)
endfunction()

function(mirx_check_no_qt name)
  get_target_property(libs ${name} LINK_LIBRARIES)
  foreach(lib IN LISTS libs)
    if(lib MATCHES "^Qt")
      message(FATAL_ERROR "${name} belongs to a no-Qt layer but links ${lib}")
    endif()
  endforeach()
endfunction()
