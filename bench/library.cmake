# ReadDevice/WriteDevice of 1, 58 and 1024 I2C registers over a null link (the
# tests' scripted USB board under the real USB device layer).
kestrova_add_bench(library_transfer_bench
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/library_transfer_bench.cpp
          ${CMAKE_SOURCE_DIR}/tests/library/support/counting_new.cpp
  LIBS dravik_core)
target_include_directories(library_transfer_bench PRIVATE ${CMAKE_SOURCE_DIR}/tests/library/support)
