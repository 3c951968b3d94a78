# cmake -DROOT=<folder> -DLAYERS=<a:b:...> -DSTAMP=<file> -P CheckLayers.cmake
# Fails when a source file of a layer folder under ROOT includes a header of a layer named
# after its own in LAYERS (lowest first). The layers' libraries alone cannot catch such a
# reach upwards: every layer shares one include root, and a static library links whatever
# it is given.
get_filename_component(prefix ${ROOT} NAME)
string(REPLACE ":" ";" LAYERS "${LAYERS}")
set(above ${LAYERS})
set(failures "")
foreach(layer IN LISTS LAYERS)
  list(REMOVE_AT above 0)
  file(GLOB files ${ROOT}/${layer}/*.h ${ROOT}/${layer}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^#include \"${prefix}/")
    foreach(higher IN LISTS above)
      if(includes MATCHES "\"${prefix}/${higher}/")
        string(APPEND failures "\n  ${file}: layer ${layer} includes from ${higher} above it")
      endif()
    endforeach()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "Includes against the direction of the layers:${failures}")
endif()
file(TOUCH ${STAMP})
