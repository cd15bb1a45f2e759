# The stub's workflow.
quorvel_sources(SHELL win_engine_host.cpp win_extraction_pass.cpp win_file_replace.cpp
  win_main_dialog.cpp win_own_file.cpp win_run.cpp win_startup.cpp win_temporary_folder.cpp win_write_behind.cpp
  win_zone_mark.cpp)
quorvel_sources(STUB_ENTRY win_main.cpp)
