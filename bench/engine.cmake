# The transfer engine: planning a read of every register and taking the bytes back.
kestrova_add_bench(engine_bench
  SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/engine_bench.cpp
  LIBS kestrova_engine)
