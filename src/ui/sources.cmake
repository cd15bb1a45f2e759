# The dialogs that ask, and the resources.
quorvel_sources(SHELL win_folder_chooser.cpp win_small_dialogs.cpp)
quorvel_sources(STUB_RESOURCES resources.rc)
