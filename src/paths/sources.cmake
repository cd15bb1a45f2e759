# Path helpers, name rules, folder macros, auto-run.
quorvel_sources(CORE folder_macros.cpp name_rules.cpp path_text.cpp)
# The UTF-16 forms, apart for the same reason as in common/.
quorvel_sources(CORE utf16_paths.cpp)
quorvel_sources(SHELL win_auto_run.cpp win_command_job.cpp win_entry_ledger.cpp win_folder_macros.cpp
  win_name_rules.cpp)
