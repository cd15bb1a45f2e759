# Path helpers, name rules, folder macros, auto-run.
quorvel_sources(CORE folder_macros.cpp name_rules.cpp path_text.cpp)
quorvel_sources(SHELL win_auto_run.cpp win_folder_macros.cpp win_name_rules.cpp)
