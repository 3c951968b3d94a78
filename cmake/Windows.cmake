# Settings of the Windows (mingw-w64) build.

# Only static archives: a libz.dll.a found first would make the installer need zlib1.dll.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

add_compile_definitions(UNICODE _UNICODE NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)
add_compile_options(-Wall -Wextra -Wno-unused-parameter -Wno-missing-field-initializers)
# Everything links statically: the installer must need no DLL beyond Windows' own.
add_link_options(-static -static-libgcc -static-libstdc++)
# The installer is the first download of every player: keep it small. Unused functions and
# data are dropped at link time, and release programs carry no symbol table.
add_compile_options(-ffunction-sections -fdata-sections)
add_link_options(-Wl,--gc-sections $<$<CONFIG:Release,MinSizeRel>:-s>)
# Release code is optimised for size: almost all of it waits on the network, the disk or the
# player. The loops where the time goes (see kelto_hot_sources) keep -O2.
set(CMAKE_C_FLAGS_RELEASE "-Os -DNDEBUG")
set(CMAKE_CXX_FLAGS_RELEASE "-Os -DNDEBUG")

if(NOT CMAKE_RC_COMPILER)
  set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
endif()
enable_language(RC)

# libcurl, built by tools/setup.sh from Debian's source package (Schannel, zlib, HTTP only).
set(_default_cache "$ENV{KELTO_CACHE}")
if(NOT _default_cache)
  if(DEFINED ENV{XDG_CACHE_HOME})
    set(_default_cache "$ENV{XDG_CACHE_HOME}/kelto-setup")
  else()
    set(_default_cache "$ENV{HOME}/.cache/kelto-setup")
  endif()
endif()
set(KELTO_CURL_ROOT "${_default_cache}/curl-mingw" CACHE PATH "Static libcurl for Windows")
find_library(KELTO_ZLIB libz.a PATHS /usr/x86_64-w64-mingw32/lib NO_DEFAULT_PATH REQUIRED)
include(${CMAKE_CURRENT_LIST_DIR}/DelayImports.cmake)
foreach(dll comctl32 ole32 shell32 shlwapi winhttp winmm gdiplus crypt32 bcrypt ws2_32 secur32)
  kelto_delay_import(${dll})
endforeach()
# An imported library, so that the link line keeps the system libraries it needs after it even
# where the program's own code links some of them too (bcrypt).
add_library(kelto_curl STATIC IMPORTED)
set_target_properties(kelto_curl PROPERTIES IMPORTED_LOCATION ${KELTO_CURL_ROOT}/lib/libcurl.a)
target_include_directories(kelto_curl INTERFACE ${KELTO_CURL_ROOT}/include)
target_compile_definitions(kelto_curl INTERFACE CURL_STATICLIB)
target_link_libraries(kelto_curl INTERFACE
  ${KELTO_ZLIB} delay_ws2_32 delay_crypt32 delay_bcrypt advapi32)
set(KELTO_CURL_EXE ${KELTO_CURL_ROOT}/bin/curl.exe)

add_library(kelto_zlib INTERFACE)
target_link_libraries(kelto_zlib INTERFACE ${KELTO_ZLIB})

# stb_image: add its folder alone, never /usr/include, to the cross build.
add_library(kelto_stb INTERFACE)
target_include_directories(kelto_stb SYSTEM INTERFACE /usr/include/stb)

# Windows programs run under the build tree's private Wine prefix.
set(KELTO_WINEPREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Private Wine prefix of this build")
set(KELTO_TOOLS_DIR "${CMAKE_SOURCE_DIR}/tools")
configure_file(${CMAKE_SOURCE_DIR}/tools/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run.sh @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run.sh)
