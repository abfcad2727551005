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

# A no-Qt layer must not reach Qt through anything it links, however deep.
# The walk runs once the whole tree is configured, so links added after the
# library was declared count too.
function(mirx_check_no_qt name)
  set_property(GLOBAL APPEND PROPERTY MIRX_NO_QT_TARGETS ${name})
  get_property(deferred GLOBAL PROPERTY MIRX_NO_QT_DEFERRED)
  if(NOT deferred)
    set_property(GLOBAL PROPERTY MIRX_NO_QT_DEFERRED TRUE)
    cmake_language(DEFER DIRECTORY ${PROJECT_SOURCE_DIR} CALL _mirx_check_no_qt_all)
  endif()
endfunction()

function(_mirx_find_qt target chain)
  if(target MATCHES "^Qt")
    message(FATAL_ERROR "no-Qt layer reaches Qt: ${chain} -> ${target}")
  endif()
  if(NOT TARGET ${target})
    return()
  endif()
  get_property(seen GLOBAL PROPERTY _MIRX_NO_QT_SEEN)
  if(target IN_LIST seen)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY _MIRX_NO_QT_SEEN ${target})
  get_target_property(aliased ${target} ALIASED_TARGET)
  if(aliased)
    _mirx_find_qt(${aliased} "${chain}")
    return()
  endif()
  set(links "")
  get_target_property(type ${target} TYPE)
  if(NOT type STREQUAL "INTERFACE_LIBRARY")
    get_target_property(direct ${target} LINK_LIBRARIES)
    if(direct)
      list(APPEND links ${direct})
    endif()
  endif()
  get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
  if(interface)
    list(APPEND links ${interface})
  endif()
  foreach(lib IN LISTS links)
    string(REGEX REPLACE "^\\$<LINK_ONLY:(.*)>$" "\\1" lib "${lib}")
    if(lib MATCHES "^\\$<")
      continue()
    endif()
    _mirx_find_qt(${lib} "${chain} -> ${target}")
  endforeach()
endfunction()

function(_mirx_check_no_qt_all)
  get_property(targets GLOBAL PROPERTY MIRX_NO_QT_TARGETS)
  foreach(name IN LISTS targets)
    set_property(GLOBAL PROPERTY _MIRX_NO_QT_SEEN "")
    _mirx_find_qt(${name} "")
  endforeach()
endfunction()
