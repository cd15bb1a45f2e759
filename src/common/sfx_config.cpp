#include "common/sfx_config.h"

#include "common/dbcs.h"
#include "common/le_bytes.h"
#include "common/sfx_config_impl.h"

std::uint32_t ConfigArchiveOffset(const SfxConfig& config) {
  return ReadLe32(config.archiveOffset);
}

std::uint32_t ConfigFlags(const SfxConfig& config) { return ReadLe32(config.flags); }

void SetConfigFlags(SfxConfig& config, std::uint32_t flags) {
  WriteLe32(config.flags, flags);
}

namespace {
void TerminateField(char* field, unsigned width) {
  for (unsigned i = 0; i < width; ++i)
    if (field[i] == '\0') return;
  field[CharBoundaryPrefix(field, width - 1)] = '\0';
}
}  // namespace

void TerminateConfigTexts(SfxConfig& config) {
  TerminateField(config.title, sizeof config.title);
  TerminateField(config.folderLabel, sizeof config.folderLabel);
  TerminateField(config.defaultFolder, sizeof config.defaultFolder);
  TerminateField(config.message, sizeof config.message);
  TerminateField(config.autoRunCommand, sizeof config.autoRunCommand);
}

QUORVEL_INSTANTIATE_SFX_CONFIG_TEXT(char)

bool IsSupportedVersion(std::uint32_t version) {
  const unsigned major = version & 0xFF;
  const unsigned minor = (version >> 8) & 0xFF;
  if (version & 0x80000000u) return major >= 4;
  if (major != 3) return major > 3;
  return minor >= 51;
}
