# kebo_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# One Qt Test executable registered with CTest, run on the offscreen platform
# against the built-in virtual world unless the test sets ORVEHV_WORLD itself;
# autodetection probes go to a loopback port unless a test points them elsewhere.
function(kebo_add_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_compile_definitions(${name} PRIVATE KEBO_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
  add_test(NAME ${name} COMMAND ${name})
  set(labels ${T_LABELS})
  set_tests_properties(${name} PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ORVEHV_WORLD=;KEBO_AUTODETECT_TARGET=127.0.0.1:9;UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1;ASAN_OPTIONS=detect_leaks=0;TSAN_OPTIONS=halt_on_error=0:second_deadlock_stack=1:suppressions=${PROJECT_SOURCE_DIR}/tests/tsan.supp"
    TIMEOUT 300
    LABELS "${labels}")
endfunction()
