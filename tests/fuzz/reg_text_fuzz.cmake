# The registry file reader's fuzz target. Its corpus replays as an ordinary test here; the
# libFuzzer binary is built by scripts/fuzz-reg-text with clang.
add_executable(reg_text_fuzz_replay
  ${CMAKE_CURRENT_LIST_DIR}/reg_text_fuzz.cpp
  ${CMAKE_CURRENT_LIST_DIR}/reg_text_replay_main.cpp)
target_compile_options(reg_text_fuzz_replay PRIVATE ${KESTROVA_WARNINGS})
target_link_libraries(reg_text_fuzz_replay PRIVATE kestrova_platform)
add_test(NAME reg_text_fuzz_replay
         COMMAND reg_text_fuzz_replay ${CMAKE_CURRENT_LIST_DIR}/corpus/reg_text)
set_tests_properties(reg_text_fuzz_replay PROPERTIES LABELS platform TIMEOUT 60)
