# Shared by scripts/bench-gui and scripts/soak: a headless Skarnet2 following
# `skarnet2-tool serve` at 100 epochs a second, optionally after a burst of epochs fed as fast
# as the window takes them. Needs $tool, $program and $work set by the caller.

# A lean day at 10 Hz (GGA and RMC only, 864,000 epochs) for bursts.
make_lean_day() {
  [ -s "$work/lean-day.log" ] && return
  "$tool" simulate --protocol nmea --rate 10 --seconds 86400 --start 000000 |
    grep -a -E '^\$G[NP](GGA|RMC),' > "$work/lean-day.log"
}

# follow NAME STREAM AFTER SECONDS [PROGRESS]
# Serves STREAM at 100 Hz (looped) after AFTER burst epochs from the lean day, starts the
# window with the plot in the map cell, waits until it has shown AFTER epochs and 3 s more,
# and prints the window's CPU use over SECONDS, its resident memory and its progress lines
# (every PROGRESS epochs, default AFTER) to stdout.
follow() {
  local name="$1" stream="$2" after="$3" seconds="$4" every="${5:-$3}"
  # A fresh window prints no progress: the paints it times would count as its own load.
  [ "$every" -gt 0 ] || every=1000000000
  local port=$((47300 + RANDOM % 600))
  local burst=()
  if [ "$after" -gt 0 ]; then
    make_lean_day
    burst=(--burst "$after" --burst-from "$work/lean-day.log")
  fi
  "$tool" serve "$stream" --tcp "$port" --rate 100 --loop "${burst[@]}" 2> "$work/serve-$name.err" &
  local server=$!
  local home="$work/home-$name"
  mkdir -p "$home/config/VELMORA"
  printf '[VIEW]\nMAP_PLOT=1\n' > "$home/config/VELMORA/Skarnet2.conf"
  for _ in $(seq 50); do grep -q listening "$work/serve-$name.err" && break; sleep 0.1; done
  XDG_RUNTIME_DIR="$home" XDG_CONFIG_HOME="$home/config" XDG_CACHE_HOME="$home/cache" \
    QT_QPA_PLATFORM=offscreen "$program" --no-splash --connect "tcp://127.0.0.1:$port" \
    --progress "$every" > "$work/progress-$name.txt" 2> "$work/window-$name.err" &
  local window=$!
  local started=$SECONDS
  until [ "$after" -eq 0 ] || awk -v t="$after" '$1 == "epochs:" && $2 >= t { found = 1 }
      END { exit !found }' "$work/progress-$name.txt" 2> /dev/null; do
    if ! kill -0 "$window" 2> /dev/null; then
      echo "$name: the window ended early" >&2
      cat "$work/window-$name.err" >&2
      kill "$server" 2> /dev/null || true
      return 1
    fi
    sleep 0.5
  done
  local fed=$((SECONDS - started))
  sleep $(( after > 0 ? 3 : 5 ))
  local ticks before after_ticks
  ticks=$(getconf CLK_TCK)
  before=$(awk '{ print $14 + $15 }' "/proc/$window/stat")
  sleep "$seconds"
  after_ticks=$(awk '{ print $14 + $15 }' "/proc/$window/stat")
  local rss
  rss=$(awk '/VmRSS/ { printf "%.0f", $2 / 1024 }' "/proc/$window/status")
  kill "$window" "$server" 2> /dev/null || true
  wait "$window" "$server" 2> /dev/null || true
  { grep '^epochs:' "$work/progress-$name.txt" || true; } | sed "s/^/$name: /"
  awk -v b="$before" -v a="$after_ticks" -v t="$ticks" -v s="$seconds" -v n="$name" \
    -v r="$rss" -v e="$after" -v f="$fed" 'BEGIN {
      printf "%s: after %d epochs (fed in %d s): %.1f%% of one core at 100 Hz over %d s, RSS %d MiB\n",
        n, e, f, (a - b) * 100 / t / s, s, r }'
}
