# The estimator library, the generator of test sounds it is measured on, and the SDIF library.
target_link_libraries(test_${name} PRIVATE harmex_core glotsynth lumbra)
# The spectral helper of the estimator is tested directly from its private header.
target_include_directories(test_${name} PRIVATE ${CMAKE_SOURCE_DIR}/platform/harmex/src)
