# The decoders of the older LZH methods: the packer reads them, the stub never does.
quorvel_sources(LEGACY legacy_decoder.cpp legacy_streams.cpp prefix_code.cpp lh1_decoder.cpp
  larc_decoders.cpp pmarc_decoders.cpp)
