# Compiler settings shared by every target.

option(VGWL_SANITIZE "Build the portable library and its tests with ASan and UBSan" OFF)

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_vgwl_default_dist ${PROJECT_SOURCE_DIR}/dist)
else()
    set(_vgwl_default_dist ${PROJECT_BINARY_DIR}/dist)
endif()
set(VGWL_DIST_DIR ${_vgwl_default_dist} CACHE PATH "Folder that receives the program as installed")

function(vgwl_set_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                                 -Wno-missing-field-initializers)
    endif()
endfunction()

if(VGWL_SANITIZE AND NOT MSVC)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all
                        -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
    # The "A" calls, in the system's ANSI code page: UNICODE is never defined.
    add_compile_definitions(WINVER=0x0A00 _WIN32_WINNT=0x0A00 NOMINMAX STRICT
                            WIN32_LEAN_AND_MEAN)
    if(MINGW)
        # The exe must need nothing beside it but Windows' own DLLs.
        add_link_options(-static -static-libgcc -static-libstdc++)
    endif()
    if(MSVC)
        set(CMAKE_MSVC_RUNTIME_LIBRARY "MultiThreaded$<$<CONFIG:Debug>:Debug>")
    endif()
    # Sound playback (winmm) is not linked: it is loaded from the system
    # folder when a sound is first played (toolkit/SystemLibrary.h).
    add_library(vgwl_win32_libs INTERFACE)
    target_link_libraries(vgwl_win32_libs INTERFACE user32 gdi32 comctl32 shell32 advapi32
                                                    ole32 oleaut32 windowscodecs uuid
                                                    shlwapi)
    if(CMAKE_CROSSCOMPILING)
        set(VGWL_WINE_STATE ${PROJECT_BINARY_DIR}/wine)
        set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run.sh
                                          ${VGWL_WINE_STATE})
    endif()
endif()

# Moves the debug information of a linked program or library into
# <build>/symbols/<file>.debug, strips the file and leaves a link to its debug
# file behind (.gnu_debuglink): what ships is lean (Wine reads every section
# of an image into private memory), and a crash address can still be read:
#   addr2line -f -e build/mingw64/symbols/VelmoraGWLite.exe.debug ADDRESS
set(VGWL_SYMBOLS_DIR ${PROJECT_BINARY_DIR}/symbols)
function(vgwl_split_debug_info target)
    if(NOT MINGW OR NOT CMAKE_OBJCOPY)
        return()
    endif()
    set(_debug ${VGWL_SYMBOLS_DIR}/$<TARGET_FILE_NAME:${target}>.debug)
    add_custom_command(
        TARGET ${target} POST_BUILD
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VGWL_SYMBOLS_DIR}
        COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:${target}> ${_debug}
        COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${_debug}
                $<TARGET_FILE:${target}>
        VERBATIM)
endfunction()

# Puts a built program or library into the dist folder, as it is installed:
# without its debug information, which stays in the build tree.
function(vgwl_install_to_dist target)
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${VGWL_DIST_DIR}
                                               LIBRARY_OUTPUT_DIRECTORY ${VGWL_DIST_DIR})
    foreach(cfg DEBUG RELEASE RELWITHDEBINFO MINSIZEREL)
        set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY_${cfg} ${VGWL_DIST_DIR})
    endforeach()
    vgwl_split_debug_info(${target})
endfunction()

# Running the Windows tests needs Wine; the 32-bit build only has to compile.
if(WIN32 AND CMAKE_CROSSCOMPILING AND CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(_vgwl_wine_default ON)
else()
    set(_vgwl_wine_default OFF)
endif()
option(VGWL_WINE_TESTS "Run the Windows tests under Wine" ${_vgwl_wine_default})

# Registers a Windows test program. Under Wine all of them share one prepared
# prefix and one wineserver (the fixture), and run one at a time, since they
# share the registry, the desktop and the single-instance mutex.
function(vgwl_add_windows_test name)
    set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED wine)
    set_property(TEST ${name} APPEND PROPERTY RESOURCE_LOCK wine_desktop)
    get_property(_timeout TEST ${name} PROPERTY TIMEOUT)
    if(NOT _timeout)
        set_property(TEST ${name} PROPERTY TIMEOUT 300)
    endif()
endfunction()

# Adds one test per GoogleTest suite found in the given sources, so that a
# crash in one suite is reported as that suite and the others still run.
function(vgwl_add_gtest_suites target prefix)
    set(_suites)
    foreach(src ${ARGN})
        file(READ ${src} _text)
        string(REGEX MATCHALL "(TEST|TEST_F|TEST_P)\\(([A-Za-z0-9_]+)," _matches "${_text}")
        foreach(m ${_matches})
            string(REGEX REPLACE "(TEST|TEST_F|TEST_P)\\(([A-Za-z0-9_]+)," "\\2" _suite "${m}")
            list(APPEND _suites ${_suite})
        endforeach()
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src})
    endforeach()
    list(REMOVE_DUPLICATES _suites)
    foreach(suite ${_suites})
        add_test(NAME ${prefix}.${suite} COMMAND ${target} --gtest_filter=${suite}.*:*/${suite}.*
                                                           --gtest_brief=1)
        if(WIN32)
            vgwl_add_windows_test(${prefix}.${suite})
        endif()
    endforeach()
endfunction()

# Adds the sources of the calling folder: files named *_win.cpp use Win32 and
# go into the given Windows library; the others go into the portable library.
function(vgwl_add_folder_sources windows_target)
    file(GLOB _portable CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    list(FILTER _portable EXCLUDE REGEX "_win\\.cpp$")
    if(_portable)
        target_sources(vgwl_portable PRIVATE ${_portable})
    endif()
    if(WIN32)
        file(GLOB _win CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*_win.cpp)
        if(_win)
            target_sources(${windows_target} PRIVATE ${_win})
        endif()
    endif()
endfunction()
