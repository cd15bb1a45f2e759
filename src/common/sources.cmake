# What the stub and the packer share.
quorvel_sources(CORE dbcs.cpp run_state.cpp sfx_config.cpp stub_switches.cpp)
quorvel_sources(SHELL win_services.cpp)
