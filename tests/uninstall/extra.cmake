# The end-to-end tests start the built program and drive its windows.
add_dependencies(${target} uninstall)
target_link_libraries(${target} PRIVATE tvxdriver)

# The program's variant for the memory-exhaustion runs only (tests/uninstall/oom): it fails
# the allocations after the number in TVX_FAIL_ALLOCATION_AFTER.
add_executable(uninstall_oom WIN32 ${CMAKE_SOURCE_DIR}/src/uninstall/main.cpp
               ${CMAKE_SOURCE_DIR}/src/resources/uninstall.rc
               ${CMAKE_CURRENT_SOURCE_DIR}/uninstall/oom/run_out_of_memory.cpp)
target_link_options(uninstall_oom PRIVATE -municode -mwindows)
target_link_libraries(uninstall_oom PRIVATE tvxcore)
add_dependencies(${target} uninstall_oom)
