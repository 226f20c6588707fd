# kt6_add_test(NAME name SOURCES ... LIBS ... LABELS ... [TIMEOUT s] [ENV ...] [QT])
# One GoogleTest executable; each case becomes a CTest test carrying the labels. QT gives it a
# main that creates the QApplication first, and runs it offscreen.
function(kt6_add_test)
  cmake_parse_arguments(T "QT" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 60)
  endif()
  if(T_QT)
    add_executable(${T_NAME} ${T_SOURCES} ${PROJECT_SOURCE_DIR}/tests/support/qt_gtest_main.cpp)
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} Qt6::Widgets Qt6::Test GTest::gtest GTest::gmock)
    list(APPEND T_ENV "QT_QPA_PLATFORM=offscreen")
  else()
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  endif()
  target_include_directories(${T_NAME} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # A static Qt links only its default platform plugin (windows) into a program; the tests ask
  # for the offscreen one, and without it Qt's fatal box would wait for a click forever.
  if(WIN32 AND TARGET Qt6::QOffscreenIntegrationPlugin)
    qt_import_plugins(${T_NAME} INCLUDE Qt6::QOffscreenIntegrationPlugin)
  endif()
  # Discovered tests get their properties as one flat list, where a list value ("core;unit")
  # would shift every property after it. Labels go on the folder instead (its tests and its
  # subfolders' share them), and ENV holds at most one entry.
  list(LENGTH T_ENV env_count)
  if(env_count GREATER 1)
    message(FATAL_ERROR "kt6_add_test(${T_NAME}): ENV takes one entry")
  endif()
  set_property(DIRECTORY APPEND PROPERTY LABELS ${T_LABELS})
  if(CMAKE_CROSSCOMPILING)
    # Under an emulator (Wine) each case as a process of its own would pay the emulator's
    # start-up hundreds of times: one test per executable, its cases run in one process, so its
    # limit is the whole executable's rather than one case's.
    math(EXPR T_TIMEOUT "${T_TIMEOUT} * 10")
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
    if(T_ENV)
      set_tests_properties(${T_NAME} PROPERTIES ENVIRONMENT "${T_ENV}")
    endif()
    return()
  endif()
  gtest_discover_tests(${T_NAME}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT "${T_ENV}")
endfunction()

# Adds every direct subfolder of the current source folder that has a CMakeLists.txt, so each
# area keeps its own test and benchmark lists.
function(kt6_add_subfolders)
  file(GLOB children LIST_DIRECTORIES true "${CMAKE_CURRENT_SOURCE_DIR}/*")
  foreach(child ${children})
    if(IS_DIRECTORY "${child}" AND EXISTS "${child}/CMakeLists.txt")
      add_subdirectory("${child}")
    endif()
  endforeach()
endfunction()
