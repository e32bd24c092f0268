// The data archive's password. The build packs the sample content with it (data/CMakeLists.txt
// reads it from this line).
#pragma once

#define TM5_ARCHIVE_PASSWORD "Qw7Lp2Xr9Tn4Vb6Mz1Kd"
