# The fuzz targets and the layer library each one drives, as target:library. The libFuzzer build
# (fuzz/CMakeLists.txt) and the replay of the kept inputs in the test suite (tests/fuzz_replay)
# both read this list.
set(STYLOR_FUZZ_TARGETS
    fuzz_font:stylor_engrave
    fuzz_lff_font:stylor_engrave
    fuzz_cxf_font:stylor_engrave
    fuzz_machine_file:stylor_settings
    fuzz_jobs:stylor_ui_model
    fuzz_program_reader:stylor_preview
    fuzz_macro_reader:stylor_preview
    fuzz_data_file:stylor_engrave
    fuzz_marking:stylor_settings)
