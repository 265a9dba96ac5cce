# The estimator library, the generator of test sounds it is measured on, and the SDIF library.
target_link_libraries(test_${name} PRIVATE harmex_core glotsynth lumbra)
