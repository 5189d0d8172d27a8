# Load, walk and save of a generated 30,000-line definition.
kestrova_add_bench(markup_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/markup_bench.cpp
  LIBS kestrova_definition)
