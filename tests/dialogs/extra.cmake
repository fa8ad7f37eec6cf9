# The dialog tests create the real dialogs from the program's own templates.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src/resources/uninstall.rc)
