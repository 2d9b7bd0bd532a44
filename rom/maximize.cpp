#include "maximize.h"

namespace thornwake {

std::vector<RecordWrite> MaximizeWrites(std::optional<CharacterId> character) {
    std::vector<RecordWrite> writes;
    for (CharacterId each : {CharacterId::Hero, CharacterId::Girl, CharacterId::Sprite}) {
        if (character && *character != each) continue;
        const LevelRecordBytes maxed = EncodeLevelRecord(AsStored(each, MaxedRecord));
        for (int level = 0; level < LevelCount; ++level) writes.push_back({each, level, std::nullopt, maxed});
    }
    return writes;
}

WriteReport MaxHero(RomFile& file, const ProgressCallback& progress) {
    return WriteRecords(file, MaximizeWrites(CharacterId::Hero), progress);
}

WriteReport MaxSprite(RomFile& file, const ProgressCallback& progress) {
    return WriteRecords(file, MaximizeWrites(CharacterId::Sprite), progress);
}

WriteReport MaxGirl(RomFile& file, const ProgressCallback& progress) {
    return WriteRecords(file, MaximizeWrites(CharacterId::Girl), progress);
}

WriteReport MaxAll(RomFile& file, const ProgressCallback& progress) {
    return WriteRecords(file, MaximizeWrites(std::nullopt), progress);
}

}  // namespace thornwake
