# The transfer engine: planning a read of every register and taking the bytes
# back; the read loop's step that logs them.
kestrova_add_bench(engine_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine_bench.cpp
  LIBS kestrova_continuous)
