# The register panel's model: one page's rows refreshed with new values, a page switch.
kestrova_add_bench(frontend_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/frontend_bench.cpp
  LIBS kestrova_frontend)
