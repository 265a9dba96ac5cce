# Programs run by the command-line tests, and the SDIF library their tests use to make and check
# files.
if(TARGET lumbra)
  target_link_libraries(test_${name} PRIVATE lumbra)
endif()
if(TARGET glotmark-dump)
  add_dependencies(test_${name} glotmark-dump)
endif()
# The epoch-run tests generate sounds and recompute curves in process to check the files.
foreach(lib glotsynth gm_epochs gm_sdif)
  if(TARGET ${lib})
    target_link_libraries(test_${name} PRIVATE ${lib})
  endif()
endforeach()
