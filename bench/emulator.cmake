# ReadDevice round trips through the library core and the emulated board:
# 58 I2C registers, and 1024 mixed chip and board registers.
if(TARGET dravik_emulator_core)
  kestrova_add_bench(emulator_bench
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/emulator_bench.cpp
    LIBS dravik_core dravik_emulator_core)
endif()
