# One helper for every test: GoogleTest or QtTest, GUI tests on the offscreen
# platform, a time-out, and labels that let a preset pick a subset.
#   mirx_add_test(NAME name SOURCES ... [LIBS ...] [LABELS ...] [NEEDS_GUI] [TIMEOUT s])
function(mirx_add_test)
  cmake_parse_arguments(T "NEEDS_GUI;QTTEST" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE mirx_options ${T_LIBS})
  if(NOT T_QTTEST)
    target_link_libraries(${T_NAME} PRIVATE GTest::gmock GTest::gtest_main)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 120)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(env "")
  if(T_NEEDS_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  if(MIRX_SANITIZE STREQUAL "thread")
    # Qt is not instrumented: its own threads synchronise in ways ThreadSanitizer
    # cannot see, so calls made from inside Qt are not checked. Our code is.
    list(APPEND env "TSAN_OPTIONS=halt_on_error=1 second_deadlock_stack=1 ignore_noninstrumented_modules=1")
  elseif(MIRX_SANITIZE STREQUAL "address")
    list(APPEND env "ASAN_OPTIONS=detect_leaks=1 halt_on_error=1"
         "UBSAN_OPTIONS=print_stacktrace=1 halt_on_error=1")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}"
                                            ENVIRONMENT "${env}")
endfunction()
