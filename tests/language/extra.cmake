# Test language libraries: resource-only DLLs with no code and no entry point, in a
# left-to-right and a right-to-left variant, each as tvxlng.dll in a folder of its own
# (<build>/tests/language_fixtures/<variant>) for the tests to load or copy.
foreach(variant ltr rtl)
    set(fixture language_fixture_${variant})
    add_library(${fixture} SHARED ${CMAKE_CURRENT_SOURCE_DIR}/language/fixture/tvxlng.rc)
    set_target_properties(${fixture} PROPERTIES
        LINKER_LANGUAGE C
        PREFIX ""
        OUTPUT_NAME tvxlng
        RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/language_fixtures/${variant})
    target_link_options(${fixture} PRIVATE -nostdlib -Wl,--entry=0)
    if(variant STREQUAL "rtl")
        target_compile_definitions(${fixture} PRIVATE TVX_FIXTURE_RTL)
    endif()
    add_dependencies(${target} ${fixture})
endforeach()

# The program's own resources, so the test program is an own module with the real string
# table and dialog templates behind it.
target_sources(${target} PRIVATE ${CMAKE_SOURCE_DIR}/src/resources/uninstall.rc)
