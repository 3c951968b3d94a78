# Deployment settings: the only place where the installer learns which servers it talks to.
# A studio's release build sets them (see CMakePresets.json, preset "release"); every build
# that a test, a benchmark or the demo runs keeps these loopback defaults, so nothing it does
# can reach a public address. The test harness runs its servers on these fixed ports inside a
# network namespace of its own, where the ports are always free.
set(SETUP_MANIFEST_PRIMARY "http://127.0.0.1:18601/qvinstall.txt" CACHE STRING
    "Complete address of the manifest on the primary update server")
set(SETUP_MANIFEST_FALLBACK "http://127.0.0.1:18602/qvinstall.txt" CACHE STRING
    "Complete address of the manifest on the fallback update server")
set(SETUP_AGREEMENT_URL "http://127.0.0.1:18601/xy/" CACHE STRING
    "Address of the licence agreement page")
set(SETUP_GAME_NAME "凯途星联" CACHE STRING "Display name of the game in the window title")
set(SETUP_MANIFEST_PUBLIC_KEY "" CACHE STRING
    "The studio's manifest key: base64 of its P-256 public key (DER SubjectPublicKeyInfo, as tools/publish/kelto_publish.py keygen prints it); empty takes manifests unsigned")
set(SETUP_PARALLEL_RANGES "4" CACHE STRING
    "Connections a large package is fetched over at once (1 to 8; 1: one stream); a manifest's Parallel value may only lower it")
set(SETUP_RANGE_THRESHOLD_MIB "32" CACHE STRING
    "Packages of at least this many MiB are fetched in parallel ranges")
set(SETUP_DNS_SERVERS "127.0.0.1:18653" CACHE STRING
    "DNS fallback resolver's servers, ';'-separated, each an IPv4 address with an optional :port")

# kelto_configure_deployment(<folder>): DeploymentConfig.h with the SETUP_* values in force
# where it is called, in <folder>. A test build of the installer for other servers sets its
# own values in a function's scope and compiles the sources that read them against that
# folder.
set(KELTO_DEPLOYMENT_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/DeploymentConfig.h.in)
function(kelto_configure_deployment folder)
  configure_file(${KELTO_DEPLOYMENT_TEMPLATE} ${folder}/DeploymentConfig.h @ONLY)
endfunction()

# kelto_installer_variant(<name> SETTING value ...): a test build of the installer with other
# deployment settings. Only the file that reads them (the update module) is compiled again;
# everything else comes from the installer's own libraries.
function(kelto_installer_variant name)
  set(_folder ${CMAKE_CURRENT_BINARY_DIR}/${name}-deployment)
  while(ARGN)
    list(POP_FRONT ARGN _setting _value)
    set(${_setting} "${_value}")
  endwhile()
  kelto_configure_deployment(${_folder})
  add_executable(${name} WIN32 ${CMAKE_SOURCE_DIR}/src/app/main.cpp
    ${CMAKE_SOURCE_DIR}/src/updater/Updater.cpp ${CMAKE_BINARY_DIR}/src/app/KeltoSetup.rc)
  target_include_directories(${name} BEFORE PRIVATE ${_folder} ${CMAKE_SOURCE_DIR}/src/app/res)
  target_compile_options(${name} PRIVATE -municode)
  target_link_options(${name} PRIVATE -municode -mwindows)
  target_link_libraries(${name} PRIVATE kelto_app)
  add_dependencies(${name} KeltoSetup)
endfunction()

set(_generated "${CMAKE_BINARY_DIR}/generated")
kelto_configure_deployment(${_generated})
add_library(kelto_deployment INTERFACE)
target_include_directories(kelto_deployment INTERFACE ${_generated})
