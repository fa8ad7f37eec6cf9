# The dialog tests create the real dialogs from the program's own templates.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src/resources/uninstall.rc)

# The setup end-to-end tests run the built program, which changes the prefix for real: they
# run apart, in a fresh prefix copy, and skip themselves in the shared one.
add_dependencies(${target} uninstall)
target_link_libraries(${target} PRIVATE tvxdriver)
add_test(NAME dialogs_setup_end_to_end
         COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/dialogs/run_in_fresh_prefix
                 $<TARGET_FILE:${target}> ${CMAKE_BINARY_DIR})
set_tests_properties(dialogs_setup_end_to_end PROPERTIES TIMEOUT 900)
