#!/usr/bin/env bash
# Screenshots of the dialogs for docs/: Tessaro.exe (the Windows build)
# under Wine on a private Xvfb display, on a simulated PC with two hubs, as a
# technician uses it: the dialog after detection, then after a successful
# Do ISP with a sample image, then Erase XRom on a second bench.  Writes
# docs/images/main-dialog-ready.png, main-dialog-done.png and
# main-dialog-erasing.png.  Then the update-only dialog as an end user meets
# it (ready, during the update, complete in folder mode): update-dialog-*.png.
# Then the PHY dialogs: the PHY settings window (PhyAccess 1) after a field
# was written and read back, and both tuning dialogs opened with PHY Setting
# (phy-settings.png, phy-tune-vx2240.png, phy-tune-vx2210.png).  Last the
# configurations editor: config-dialog-full.png, config-dialog-compact.png
# and config-page.png; and the multi-hub dialog on three hubs:
# multihub-dialog-ready.png and multihub-dialog-done.png.
#
#   scripts/screenshots.sh     builds what it needs (installing MinGW-w64,
#                              Wine and Xvfb on a fresh Debian machine), lays
#                              out build/screenshots/ and takes the pictures.
#   TESSARO_WINDOWS_BUILD=DIR  builds in DIR instead of build/windows.
set -euo pipefail
cd "$(dirname "$0")/.."
top=$(pwd)

. scripts/common.sh

ensure_packages cmake ninja-build python3 mingw-w64 g++-mingw-w64-x86-64-posix wine wine64 fonts-wine xvfb xauth nlohmann-json3-dev

# The Windows tree of the "windows" preset, or another one named by
# TESSARO_WINDOWS_BUILD (configured the same way when it is new).
win="${TESSARO_WINDOWS_BUILD:-$top/build/windows}"
say "Windows build in $win (Tessaro.exe, tessaro-image.exe, dialog_driver.exe)"
if [ "$win" = "$top/build/windows" ]; then
  cmake --preset windows >/dev/null
else
  cmake --no-warn-unused-cli -S . -B "$win" -G Ninja --toolchain cmake/mingw-x86_64.cmake -DCMAKE_BUILD_TYPE=Release -DTESSARO_TESTS=ON >/dev/null
fi
cmake --build "$win" --target Tessaro tessaro-image dialog_driver >/dev/null

work="$top/build/screenshots"
export WINEPREFIX="$work/wineprefix"
trap stop_wine_and_xvfb EXIT
wine_prefix
# Without a window manager Wine draws the window frames itself; the caption
# buttons need the Marlett font in the prefix.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f >/dev/null 2>&1
if [ -f /usr/share/wine/fonts/marlett.ttf ]; then cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"; fi

start_xvfb 1280x1024x24

say "the technician's folder: build/screenshots/pc"
pc="$work/pc"
rm -rf "$pc"
mkdir -p "$pc/out"
cp "$win/Tessaro.exe" "$pc/"
winpath() { printf 'Z:%s' "$1" | tr / '\\'; }
wine "$win/tools/tessaro-image.exe" tools/image/samples/vx7101-21.desc -o "$(winpath "$pc/vx7101-21.bin")"

cat > "$pc/tessaro.ini" <<'INI'
; The main dialog with every tool offered: store tools, the restore box and
; the PHY row; the status line says only "ISP Tool is ready.".
[VX7100]
InfoLevel=0
Advanced=1
Customer=1
EepOption=1
PhyAccess=2

[FlashInfo]
W25X40=9F 03 EF 30 13 C7 40 01 50 00 00 02 00 00 00 00 00 00
INI

cat > "$pc/two-hubs.bench" <<'BENCH'
# Windows 8 with two VX710x-21 hubs: one with SPI flash, one with EEPROM.
# The virtual clock and no bus latency keep the run short.
os 6.2.9200
clock virtual
latency 0
guid sequence 2026
box quiet
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
  put 0x10E hex 07 01
  bcd-device 0x0107
  save out/hub1.rom
  function type 1 vid 0x2C7E pid 0x0B40 bcd-usb 0x0210
end

hub Hub2
  store eeprom 0x8000
  put 0xFC text "XROM"
  put 0x10E hex 07 01
  bcd-device 0x0107
  save out/hub2.rom
  function type 1 vid 0x2C7E pid 0x0B40 bcd-usb 0x0210
end
BENCH

say "Tessaro.exe on the bench, driven like a technician"
(cd "$pc" && TESSARO_BENCH="$(winpath "$pc/two-hubs.bench")" timeout 300 wine Tessaro.exe >"$work/tessaro.out" 2>&1) &
tessaro=$!
timeout 240 wine "$win/tests/dialog_driver.exe" \
  wait-status "ISP Tool is ready." \
  shot "$(winpath "$work/ready.bmp")" \
  load "$(winpath "$pc/vx7101-21.bin")" \
  wait-enabled 1036 \
  click 1036 \
  answer 'Firmware update successfully!\nPlease re-plug the updated hub.' \
  wait-status "ISP complete" \
  wait-enabled 1045 \
  shot "$(winpath "$work/done.bmp")" \
  click 1045 \
  wait-gone
wait "$tessaro" || true

say "the bench's stores after the run"
python3 - "$pc/vx7101-21.bin" "$pc/out/hub1.rom" "$pc/out/hub2.rom" <<'PY'
import sys
image = open(sys.argv[1], 'rb').read()
for store_file in sys.argv[2:]:
    store = open(store_file, 'rb').read()
    size = 0x5000
    body = bytearray(image.ljust(size, b'\xff'))
    body[0x1C0:0x1D0] = store[0x1C0:0x1D0]  # the run's container ID
    checksum = sum(body[:size - 2]) & 0xFFFF
    body[size - 2:] = bytes([checksum >> 8, checksum & 0xFF])
    ok = store[:size] == bytes(body) and store[0x1C0:0x1D0] != b'\xff' * 16
    print('%s: %s' % (store_file.split('/')[-1], 'holds the image, its container ID and checksum 0x%04X' % checksum
                                                 if ok else 'DOES NOT hold the image'))
    if not ok:
        sys.exit(1)
PY

# The erase runs on the dialog's thread and blocks it: a bench on the real
# clock whose flash takes four seconds to erase, and a flash table row that
# has the tool wait for it (erase delay 0x28: 40 x 100 ms), so that the
# picture is taken while the dialog's thread is blocked (the driver checks it
# answers nothing) and shows what the technician sees then.
sed -i 's/^W25X40=.*/W25X40=9F 03 EF 30 13 C7 40 01 50 00 00 28 00 00 00 00 00 00/' "$pc/tessaro.ini"
cat > "$pc/erase.bench" <<'BENCH'
# Windows 8 with one VX710x-21 hub whose flash erases slowly.
os 6.2.9200
clock real
latency 0
guid sequence 2026
box quiet
desktop desktop
drive-c drive-c

flash W25X40
  size 512K
  id 9F 1 EF 30 13
  erase C7
  ewsr 50
  erase-time 4000
end

hub Hub1
  store spi W25X40
  fill 00
  put 0x1D0 text "VXI2240"
  put 0x10E hex 07 01
  bcd-device 0x0107
  save out/erased.rom
  function type 1 vid 0x2C7E pid 0x0B40 bcd-usb 0x0210
end
BENCH

say "Erase XRom, pictured while the erase runs"
(cd "$pc" && TESSARO_BENCH="$(winpath "$pc/erase.bench")" timeout 300 wine Tessaro.exe >"$work/tessaro-erase.out" 2>&1) &
tessaro=$!
timeout 240 wine "$win/tests/dialog_driver.exe" \
  wait-status "ISP Tool is ready." \
  wait-enabled 1044 \
  click 1044 \
  confirm "Confirm XROM data will be erased?" \
  sleep 1500 \
  busy 500 \
  shot-now "$(winpath "$work/erasing.bmp")" \
  answer 'Erase XROM complete!\n\nISP Tool will be closed now.\nPlease re-plug the erased hub then open ISP Tool.' \
  wait-gone
wait "$tessaro" || true
python3 - "$pc/out/erased.rom" <<'PY'
import sys
store = open(sys.argv[1], 'rb').read()
if store[:0x5000] != b'\xff' * 0x5000:
    sys.exit('erased.rom: the erase left data behind')
print('erased.rom: erased')
PY

# The update-only dialog as an end user meets it: Tessaro.exe beside a .bin,
# an .eep and the driver package, on a PC without the filter driver.  The
# real clock, so that the picture during the update catches the erase
# (erase delay 0x28 in the flash table: the tool waits 4 s for it).
say "the end user's folder: build/screenshots/user"
user="$work/user"
rm -rf "$user"
mkdir -p "$user/out"
cp "$win/Tessaro.exe" "$user/"
wine "$win/tools/tessaro-image.exe" tools/image/samples/vx7101-21.desc -o "$(winpath "$user/vx7101-21.bin")"
wine "$win/tools/tessaro-image.exe" tools/image/samples/vx7101-21.eep.desc -o "$(winpath "$user/vx7101-21.eep")"
printf 'setup' >"$user/VXUSBFLT_SETUP_V3.00.exe"
printf '[install]\r\n' >"$user/install.iss"
printf '[uninstall]\r\n' >"$user/uninstall.iss"
cat > "$user/tessaro.ini" <<'INI'
; The update-only dialog: the files beside the program, the driver installed
; before the update and removed after it.
[VX7100]
EUserMode=1
DisableSelectiveSuspend=0

[FlashInfo]
W25X40=9F 03 EF 30 13 C7 40 01 50 00 00 28 00 00 00 00 00 00
INI
cat > "$user/user.bench" <<'BENCH'
# Windows 8 without the filter driver, one VX710x-21 hub with SPI flash.
os 6.2.9200
clock real
latency 0
guid sequence 2026
box quiet
desktop desktop
drive-c drive-c
driver missing
setup install ok
setup uninstall ok
log out/user.log

flash W25X40
  size 512K
  id 9F 1 EF 30 13
  erase C7
  ewsr 50
  erase-time 4000
end

hub Hub1
  store spi W25X40
  fill 00
  put 0x1D0 text "VXI2240"
  put 0x10E hex 07 01
  bcd-device 0x0107
  save out/user.rom
  function type 1 vid 0x2C7E pid 0x0B40 bcd-usb 0x0210
end
BENCH

say "the update-only dialog: install, update, removal, restart"
(cd "$user" && TESSARO_BENCH="$(winpath "$user/user.bench")" timeout 300 wine Tessaro.exe >"$work/tessaro-user.out" 2>&1) &
tessaro=$!
timeout 240 wine "$win/tests/dialog_driver.exe" \
  dialog "USB3.0 Hub Update Tool v2.03" \
  status-id 3903 \
  box-caption "USB3.0 Hub Update Tool" \
  wait-status "Ready for FW update" \
  shot "$(winpath "$work/update-ready.bmp")" \
  click 3904 \
  wait-status "Initializing..." \
  sleep 1500 \
  shot "$(winpath "$work/update-running.bmp")" \
  answer 'Your computer will be restarted after uninstall driver.\nPlease unplug USB cable & Power Adapter,\nand re-plug them to hub device after restart.' \
  wait-gone
wait "$tessaro" || true
grep -c 'VXUSBFLT_SETUP_V3.00.exe' "$user/out/user.log" | sed 's/^/setup runs in the bench log: /'
grep -i 'restart' "$user/out/user.log" | tail -1

# Folder mode: the files in the subfolder of the hub's series, the driver in
# place, no removal: the dialog stays with its final status.
say "the update-only dialog in folder mode"
mkdir -p "$user/VX710x-21"
mv "$user/vx7101-21.bin" "$user/vx7101-21.eep" "$user/VX710x-21/"
sed -i 's/^EUserMode=1/EUserMode=2/' "$user/tessaro.ini"
sed -i -e 's/^clock real/clock virtual/' -e 's/^driver missing/driver installed/' \
  -e 's#^log out/user.log#log out/folder.log#' -e 's#save out/user.rom#save out/folder.rom#' "$user/user.bench"
(cd "$user" && TESSARO_BENCH="$(winpath "$user/user.bench")" timeout 300 wine Tessaro.exe >"$work/tessaro-folder.out" 2>&1) &
tessaro=$!
timeout 240 wine "$win/tests/dialog_driver.exe" \
  dialog "USB3.0 Hub Update Tool v2.03" \
  status-id 3903 \
  wait-status "Ready for FW update" \
  click 3904 \
  wait-status "FW Update Complete." \
  shot "$(winpath "$work/update-complete.bmp")" \
  close \
  wait-gone
wait "$tessaro" || true

python3 - "$user/VX710x-21/vx7101-21.bin" "$user/out/user.rom" "$user/out/folder.rom" <<'PY'
import sys
image = open(sys.argv[1], 'rb').read()
for store_file in sys.argv[2:]:
    store = open(store_file, 'rb').read()
    # The configuration block goes in at 0x100 and the container ID at
    # 0x1C0: the code before and after them must be the image's.
    ok = store[:0x100] == image[:0x100] and store[0x1D0:len(image) - 2] == image[0x1D0:len(image) - 2]
    print('%s: %s' % (store_file.split('/')[-1], 'holds the image' if ok else 'DOES NOT hold the image'))
    if not ok:
        sys.exit(1)
PY

# --- the PHY dialogs ----------------------------------------------------------------
# One hub of each tuning form; PHY registers with values of their own.
phy_bench() {  # marker, bench file
  cat > "$2" <<BENCH
# Windows 8 with one hub whose PHY registers hold sample values.
os 6.2.9200
clock virtual
latency 0
box quiet
desktop desktop
drive-c drive-c

flash W25X40
  size 512K
  id 9F 1 EF 30 13
  erase C7
end

hub Hub1
  store spi W25X40
  fill 00
  put 0x1D0 text "$1"
  phy-default 0x00
  phy 0x0101 0x0020 0x5A
  phy 0x0101 0x0027 0x3C
  phy 0x0201 0x0001 0x83
  phy 0x0201 0x0002 0x5A
  phy 0x0201 0x0005 0x4A
  phy 0x0201 0x0006 0x98
  phy 0x0201 0x0011 0x13
  phy 0x0201 0x0012 0x6B
  phy 0x0201 0x02C2 0xB5
  phy 0x0201 0x02C3 0x6C
  phy 0x0201 0x02C0 0x9B
  phy 0x0201 0x00C9 0x40
  function type 1 vid 0x2C7E pid 0x0B40 bcd-usb 0x0210
end
BENCH
}
phy_bench VXI2240 "$pc/phy-2240.bench"
phy_bench VXI2210 "$pc/phy-2210.bench"

say "the PHY settings window (PhyAccess 1): SQ_DT_D2 written and read back"
sed -i 's/^PhyAccess=.*/PhyAccess=1/' "$pc/tessaro.ini"
(cd "$pc" && TESSARO_BENCH="$(winpath "$pc/phy-2240.bench")" timeout 300 wine Tessaro.exe >"$work/tessaro-phy.out" 2>&1) &
tessaro=$!
timeout 240 wine "$win/tests/dialog_driver.exe" \
  dialog "Varnellogic USB3.0 Hub Phy setting" \
  wait-text "3404 Finish reading USB2 PHY value." \
  type "3437 5a" \
  click 3403 \
  wait-text "3404 Finish writing USB2 PHY value." \
  click 3402 \
  wait-text "3404 Finish reading USB2 PHY value." \
  wait-text "3437 5a" \
  shot "$(winpath "$work/phy-settings.bmp")" \
  close \
  wait-gone
wait "$tessaro" || true

say "the tuning dialogs, opened with PHY Setting"
sed -i 's/^PhyAccess=.*/PhyAccess=2/' "$pc/tessaro.ini"
for form in 2240 2210; do
  if [ "$form" = 2240 ]; then
    change=(select "3519 2")   # LFTH 2: 0xD8 into register 0x06
  else
    change=(select "3500 2")   # Downstream Port 2
  fi
  (cd "$pc" && TESSARO_BENCH="$(winpath "$pc/phy-$form.bench")" timeout 300 wine Tessaro.exe >"$work/tessaro-tune.out" 2>&1) &
  tessaro=$!
  timeout 240 wine "$win/tests/dialog_driver.exe" \
    wait-status "ISP Tool is ready." \
    wait-enabled 1046 \
    click 1046 \
    dialog "VX$form PHY Tuning" \
    wait-text "3503 Read data OK" \
    "${change[@]}" \
    sleep 2500 \
    wait-text "3503 Read data OK" \
    shot "$(winpath "$work/phy-tune-vx$form.bmp")" \
    close \
    wait-gone \
    dialog "Varnellogic USB3.0 Hub FW ISP Tool" \
    click 1045 \
    wait-gone
  wait "$tessaro" || true
done

# The configurations editor on a VX7101 hub whose store holds a block: every
# group (Advanced=1), then the compact layout (Advanced=0, ConfigUI empty);
# then the compact form, opened for an undetermined hub on a PC without hubs
# (Advanced=2).
block=$(python3 - <<'PY'
# A 144-byte block: VID 2C7E, PIDs 0B40/0B41, 500 mA / 896 mA, 100 ms, four
# ports of each speed, port 1 charging with DCP and Smart CDP, and strings.
b = bytearray(144)
b[0:7] = bytes([0xAA, 0x7E, 0x2C, 0x41, 0x0B, 0x40, 0x0B])
b[0x07], b[0x09], b[0x0A], b[0x0B], b[0x0C], b[0x0D] = 0x22, 4, 896 >> 3, 500 >> 1, 0xFE, 0x81
b[0x0E], b[0x0F], b[0x10], b[0x12], b[0x14], b[0x15] = 0x07, 0x01, 50, 0x04, 0x04, 4
b[0x19], b[0x1A] = 0xC0, 0x01
for base, text in ((0x20, b'Varnellogic'), (0x40, b'USB2 Hub'), (0x60, b'USB3 Hub'), (0x80, b'0001')):
    b[base] = 2 * (len(text) + 1)
    b[base + 1:base + 1 + len(text)] = text
print(' '.join('%02X' % x for x in b))
PY
)
cat > "$pc/config.bench" <<BENCH
# Windows 8 with one VX7101 hub (VX710x-21, SPI flash) holding a configuration.
os 6.2.9200
clock virtual
latency 0
box quiet
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
  put 0x100 hex $block
  bcd-device 0x0107
  function type 1 vid 0x2C7E pid 0x0B40 bcd-usb 0x0210
end
BENCH
for layout in full compact; do
  say "the configurations editor, $layout layout"
  if [ "$layout" = compact ]; then sed -i 's/^Advanced=.*/Advanced=0/' "$pc/tessaro.ini"; fi
  (cd "$pc" && TESSARO_BENCH="$(winpath "$pc/config.bench")" timeout 300 wine Tessaro.exe >"$work/tessaro-$layout.out" 2>&1) &
  tessaro=$!
  timeout 240 wine "$win/tests/dialog_driver.exe" \
    wait-status "ISP Tool is ready." \
    click 1000 \
    editor-wait 3032=Varnellogic \
    editor-shot "$(winpath "$work/config-$layout.bmp")" \
    editor-click 3194 \
    wait-enabled 1045 \
    click 1045 \
    wait-gone
  wait "$tessaro" || true
done

say "the compact form, for a hub not determined"
sed -i 's/^Advanced=.*/Advanced=2/' "$pc/tessaro.ini"
cat > "$pc/no-hub.bench" <<'BENCH'
# Windows 8 without a hub of the family.
os 6.2.9200
clock virtual
latency 0
box quiet
desktop desktop
drive-c drive-c
BENCH
(cd "$pc" && TESSARO_BENCH="$(winpath "$pc/no-hub.bench")" timeout 300 wine Tessaro.exe >"$work/tessaro-page.out" 2>&1) &
tessaro=$!
timeout 240 wine "$win/tests/dialog_driver.exe" \
  answer 'Detect VX710x hub failed!\n\nPlease make sure VX710x hub is plugged into the host and try to rerun ISP tool.' \
  wait-enabled 1000 \
  click 1000 \
  answer 'No hub is attached on the platform,\n\nthe manipulation in the configurations will be limited.' \
  editor-shot "$(winpath "$work/config-page.bmp")" \
  editor-click 3194 \
  wait-enabled 1045 \
  click 1045 \
  wait-gone
wait "$tessaro" || true
sed -i 's/^Advanced=.*/Advanced=1/' "$pc/tessaro.ini"

# The multi-hub dialog (MultiMode=1) on a bench of three hubs of two kinds:
# a tab per hub, an image picked on each page, Do ISP over all three, then
# one hub pulled through the bench's control file and the tabs rebuilt.
say "the multi-hub dialog: build/screenshots/pc-multi"
multi="$work/pc-multi"
rm -rf "$multi"
mkdir -p "$multi/out"
cp "$win/Tessaro.exe" "$multi/"
cp "$pc/vx7101-21.bin" "$multi/"
wine "$win/tools/tessaro-image.exe" tools/image/samples/vx7103-spi.desc -o "$(winpath "$multi/vx7103.bin")"
cat > "$multi/tessaro.ini" <<'INI'
; The multi-hub dialog: one tab per hub; the selective suspend of the power
; plan is left alone.
[VX7100]
MultiMode=1
DisableSelectiveSuspend=0

[FlashInfo]
W25X40=9F 03 EF 30 13 C7 40 01 50 00 00 02 00 00 00 00 00 00
INI
# Two VX710x-21 hubs and a VX7103, all with SPI flash.  The hubs stay listed
# through the reset that ends each update, so that the pictures show the
# three tabs of the run, not a rebuild under way.
cat > "$multi/three-hubs.bench" <<'BENCH'
os 6.2.9200
clock virtual
latency 0
re-enumerate 0
guid sequence 2026
box quiet
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
  put 0x10E hex 07 01
  bcd-device 0x0107
  save out/hub1.rom
  function type 1 vid 0x2C7E pid 0x0B40 bcd-usb 0x0210
end

hub Hub2
  store spi W25X40
  fill 00
  put 0x1D0 text "VXI2240"
  put 0x10E hex 05 01
  bcd-device 0x0105
  save out/hub2.rom
  function type 1 vid 0x2C7E pid 0x0B40 bcd-usb 0x0210
end

hub Hub3
  store spi W25X40
  fill 00
  put 0x1D0 text "VXI2210"
  put 0x10E hex 07 01
  bcd-device 0x0107
  save out/hub3.rom
  function type 1 vid 0x2C7E pid 0x0B46 bcd-usb 0x0210
end
BENCH
: > "$multi/control"

(cd "$multi" && TESSARO_BENCH="$(winpath "$multi/three-hubs.bench")" TESSARO_BENCH_CONTROL="$(winpath "$multi/control")" \
  timeout 300 wine Tessaro.exe >"$work/tessaro-multi.out" 2>&1) &
tessaro=$!
timeout 240 wine "$win/tests/dialog_driver.exe" \
  wait-status "(3) VX 3.0 hub has been detected" \
  wait-tabs 3 \
  shot "$(winpath "$work/multi-ready.bmp")" \
  page-load "$(winpath "$multi/vx7101-21.bin")" \
  tab 1 \
  page-load "$(winpath "$multi/vx7101-21.bin")" \
  tab 2 \
  page-load "$(winpath "$multi/vx7103.bin")" \
  wait-enabled 1121 \
  click 1121 \
  answer 'Firmware update successfully!\nPlease re-plug the updated hub.' \
  wait-status "ISP complete" \
  shot "$(winpath "$work/multi-done.bmp")"
echo "unplug Hub3" >> "$multi/control"
timeout 120 wine "$win/tests/dialog_driver.exe" \
  wait-tabs 2 \
  wait-status "(2) VX 3.0 hub has been detected" \
  click 1 \
  wait-gone
wait "$tessaro" || true
python3 - "$multi/vx7101-21.bin" "$multi/out/hub1.rom" 0x5000 "$multi/vx7101-21.bin" "$multi/out/hub2.rom" 0x5000 \
  "$multi/vx7103.bin" "$multi/out/hub3.rom" 0x8000 <<'PY'
import sys
args = sys.argv[1:]
for i in range(0, len(args), 3):
    image, store_file, size = open(args[i], 'rb').read(), args[i + 1], int(args[i + 2], 16)
    store = open(store_file, 'rb').read()
    body = bytearray(image.ljust(size, b'\xff'))
    body[0x1C0:0x1D0] = store[0x1C0:0x1D0]
    checksum = sum(body[:size - 2]) & 0xFFFF
    body[size - 2:] = bytes([checksum >> 8, checksum & 0xFF])
    ok = store[:size] == bytes(body)
    print('%s: %s' % (store_file.split('/')[-1], 'holds its page\'s image' if ok else 'DOES NOT hold its page\'s image'))
    if not ok:
        sys.exit(1)
PY

say "docs/images"
mkdir -p docs/images
python3 - "$work/ready.bmp" docs/images/main-dialog-ready.png "$work/done.bmp" docs/images/main-dialog-done.png \
  "$work/erasing.bmp" docs/images/main-dialog-erasing.png \
  "$work/update-ready.bmp" docs/images/update-dialog-ready.png "$work/update-running.bmp" \
  docs/images/update-dialog-running.png "$work/update-complete.bmp" docs/images/update-dialog-complete.png \
  "$work/phy-settings.bmp" docs/images/phy-settings.png "$work/phy-tune-vx2240.bmp" docs/images/phy-tune-vx2240.png \
  "$work/phy-tune-vx2210.bmp" docs/images/phy-tune-vx2210.png \
  "$work/config-full.bmp" docs/images/config-dialog-full.png "$work/config-compact.bmp" \
  docs/images/config-dialog-compact.png "$work/config-page.bmp" docs/images/config-page.png \
  "$work/multi-ready.bmp" docs/images/multihub-dialog-ready.png "$work/multi-done.bmp" docs/images/multihub-dialog-done.png <<'PY'
# 24-bit BMP to PNG with nothing but the standard library.
import struct, sys, zlib

def convert(src, dst):
    data = open(src, 'rb').read()
    offset = struct.unpack_from('<I', data, 10)[0]
    width, height = struct.unpack_from('<ii', data, 18)
    if struct.unpack_from('<H', data, 28)[0] != 24:
        sys.exit('%s: not a 24-bit bitmap' % src)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        line = abs(height) - 1 - y if height > 0 else y
        bgr = data[offset + line * stride: offset + line * stride + width * 3]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = bgr[2::3], bgr[1::3], bgr[0::3]
        rows.append(b'\0' + bytes(rgb))

    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body) & 0xFFFFFFFF)

    png = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', width, abs(height), 8, 2, 0, 0, 0))
    png += chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) + chunk(b'IEND', b'')
    open(dst, 'wb').write(png)
    print('%s: %dx%d' % (dst, width, abs(height)))

for i in range(1, len(sys.argv), 2):
    convert(sys.argv[i], sys.argv[i + 1])
PY
