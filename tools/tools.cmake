# The demo and the drivers that run the stub without a person, for
# scripts/demo.sh (demo_driver), scripts/screenshots.sh (readme_pictures) and
# scripts/check-large-member.sh (progress_driver). They automate the dialogs
# as the end-to-end tests do, with the tests' helpers.
if(QUORVEL_WINDOWS AND CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
  # The program the demo packs and starts after extracting.
  add_executable(hello WIN32 ${PROJECT_SOURCE_DIR}/examples/demo/hello.cpp)
  target_link_options(hello PRIVATE -static -s)
  set_target_properties(hello PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/demo)

  foreach(driver demo_driver readme_pictures progress_driver)
    add_executable(${driver} ${CMAKE_CURRENT_LIST_DIR}/${driver}.cpp ${QUORVEL_DIALOG_AUTOMATION_SOURCES}
                   ${QUORVEL_CHILD_PROCESS_SOURCES})
    target_include_directories(${driver} PRIVATE ${PROJECT_SOURCE_DIR}/src ${QUORVEL_TEST_INCLUDES})
    target_link_libraries(${driver} PRIVATE GTest::gtest advapi32 gdi32 user32 kernel32)
    target_compile_definitions(${driver} PRIVATE ${QUORVEL_TEST_DEFINES})
    target_link_options(${driver} PRIVATE -static)
  endforeach()
endif()
