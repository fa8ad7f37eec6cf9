# The end-to-end tests start the built program and drive its windows.
add_dependencies(${target} uninstall)
target_link_libraries(${target} PRIVATE tvxdriver)
