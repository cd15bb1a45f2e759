# What the stub and the packer share.
quorvel_sources(CORE dbcs.cpp run_state.cpp sfx_config.cpp stub_switches.cpp utf16le.cpp)
# The UTF-16 forms of the text rules, in a file of their own: a stub that does
# not call them takes none of their code from the library.
quorvel_sources(CORE utf16_text.cpp)
quorvel_sources(SHELL win_services.cpp)
