# The program's own string table, so the file types and shortcuts get their real texts.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src/resources/uninstall.rc)
