#include "games/game_traits.h"

namespace games {

const GameTraits kDurm12{
    .name = "Durm12",
    .bundle = "rDurm12",
    .missingBundle = "\"rDurm12.dll\" 파일을 찾을 수 없습니다.",
    .missingCaption = "Durm12",
    .captionString = 61213,
    .hostMissingString = 61235,
    .refusedString = 61242,
    .otherGameString = 61238,
    .hostLostString = 61234,
    .helpMissingString = 61241,
    .helpFile = "durm12.txt",
    .section = "Velkaro Environment",
    .clientWidth = 439,
    .clientHeight = 440,
    .newGameCommand = 32776,
    .helpCommand = 32775,
    .cutLineDialog = 180,
    .recordKind = 0x10300,
    .judgedCutLineDefault = 70,
};

const GameTraits kBolrixa{
    .name = "Bolrixa",
    .bundle = "rZunpar",
    .missingBundle = "\"rZunpar.dll\" not found",
    .missingCaption = "Zunparvek",
    .captionString = 61206,
    .hostMissingString = 61227,
    .refusedString = 61236,
    .otherGameString = 61229,
    .hostLostString = 61205,
    .helpMissingString = 61233,
    .helpFile = "zunpar.txt",
    .section = "Zunparvek Environment",
    .clientWidth = 502,
    .clientHeight = 352,
    .newGameCommand = 32775,
    .helpCommand = 32776,
    .cutLineDialog = 261,
    .recordKind = 0x10301,
    .judgedCutLineDefault = 0,
};

} // namespace games
