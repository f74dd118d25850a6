#!/usr/bin/env bash
# The tool's main job, on the bench: an unattended console update of two
# simulated hubs of different types with sample images, then what it printed,
# the result log and the hubs' stores.
#
#   scripts/demo.sh            builds what it needs (installing cmake, g++ and
#                              ninja on a fresh Debian machine), lays out demo/
#                              and runs the update there.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

. scripts/common.sh
ensure_packages cmake ninja-build g++ nlohmann-json3-dev

echo "=== building the native tool"
cmake -S . -B build/demo -G Ninja -DCMAKE_BUILD_TYPE=Release -DTESSARO_TESTS=OFF >/dev/null
cmake --build build/demo --target Tessaro tessaro-image tessaro-cli >/dev/null

demo="$top/demo"
rm -rf "$demo"
mkdir -p "$demo/out"
cp build/demo/tessaro "$demo/tessaro"

echo "=== sample images from tools/image/samples"
image=build/demo/tools/tessaro-image
"$image" tools/image/samples/vx7101-21.desc -o "$demo/vx7101-21.bin"
"$image" tools/image/samples/vx7101-21.eep.desc -o "$demo/vx7101-21.eep"
"$image" tools/image/samples/vx7103-eeprom.desc -o "$demo/vx7103.bin"

cat > "$demo/demo.ini" <<'EOF'
; Console update of two hubs: a VX710x-21 hub with SPI flash and a VX7103
; hub with a 256-byte EEPROM.
[VX7100]
DbgMode=0

[FlashInfo]
W25X40=9F 03 EF 30 13 C7 40 01 50 00 00 02 00 00 00 00 00 00

[MPOption]
ConsoleMode=1
HubNum=2

[Hub1]
BinFile=vx7101-21.bin
EepFile=vx7101-21.eep

[Hub2]
BinFile=vx7103.bin
EOF

cat > "$demo/demo.bench" <<'EOF'
# The demo PC: Windows 8 (selective suspend goes through the power plan),
# two hubs on the filter driver, stores saved to out/ when the run ends.
os 6.2.9200
guid sequence 2026
latency 1
log out/requests.log
desktop desktop
drive-c drive-c

flash W25X40
  size 512K
  id 9F 1 EF 30 13
  erase C7
  ewsr 50
  erase-time 300
end

hub Hub1
  store spi W25X40
  fill 00
  put 0x1D0 text "VXI2240"
  bcd-device 0x0107
  save out/hub1.rom
  function type 1 vid 0x2C7E pid 0x0B42 bcd-usb 0x0210 container {5e1c0d2a-0001-4000-8000-00000000d001}
end

hub Hub2
  store eeprom 256
  fill 00
  put 0x1C text "EROM"
  bcd-device 0x0105
  save out/hub2.rom
  function type 1 vid 0x2C7E pid 0x0B47 bcd-usb 0x0210
end
EOF

echo "=== the console update (ENTER answered)"
cd "$demo"
echo | TESSARO_BENCH="$demo/demo.bench" ./tessaro
cd "$top"

echo
echo "=== result log (desktop/USBHubUpdate.log)"
cat "$demo/desktop/USBHubUpdate.log"; echo

cli=build/demo/tools/tessaro-cli
echo
echo "=== hub 1 store (out/hub1.rom, first 0x5000 bytes) against vx7101-21.bin"
head -c $((0x5000)) "$demo/out/hub1.rom" > "$demo/out/hub1-image.bin"
"$cli" classify "$demo/out/hub1-image.bin" | grep -E "class|product|version|checksum"
echo
echo "=== hub 2 store (out/hub2.rom) against vx7103.bin"
"$cli" classify "$demo/out/hub2.rom" | grep -E "class|product|version|checksum"
echo
echo "The stores carry the images with a fresh container ID and their checksum; the"
echo "vendor requests of the run are in demo/out/requests.log."
