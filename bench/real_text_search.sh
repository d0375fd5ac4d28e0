#!/usr/bin/env bash
# Searching real Chinese text: 51,000 posts made from Debian's fortunes-zh (51 threads of 1,000,
# each post three lines of it), put straight into a library whose index is then made; every word
# length from 1 to 6 characters (words drawn from the posts, and one found nowhere) searched by
# `vesk-library search --limit 50` and by ripgrep over a dump of the same posts (min / median ms).
#   bench/real_text_search.sh [BUILD_DIR] [RUNS]      needs fortunes-zh, ripgrep and python3
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
runs=${2:-7}
library=$build/cli/vesk-library
[ -r /usr/share/games/fortunes/chinese ] && command -v rg >/dev/null || {
  echo "needs: apt-get install fortunes-zh ripgrep" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$library" --db "$work/lib.sqlite3" index --drop
python3 - "$work" <<'PY'
import random, sqlite3, sys
work = sys.argv[1]
lines = []
for name in ['chinese', 'tang300', 'song100']:
    text = open('/usr/share/games/fortunes/' + name, encoding='utf-8', errors='ignore').read()
    lines += [l.strip() for f in text.split('\n%\n') for l in f.split('\n') if len(l.strip()) >= 4]
posts = [lines[i % len(lines)] + lines[(i * 7 + 1) % len(lines)] + lines[(i * 13 + 2) % len(lines)]
         for i in range(51000)]
db = sqlite3.connect(work + '/lib.sqlite3')
for t in range(51):
    key = str(3000000 + t).encode()
    db.execute("INSERT INTO thread(board_code, thread_id, title, board_name, starter)"
               " VALUES (?, ?, ?, 'board', 'author0')", (b'600519', key, ('帖子%d' % t).encode('gbk')))
    tid = db.execute("SELECT id FROM thread WHERE thread_id = ?", (key,)).fetchone()[0]
    db.executemany("INSERT INTO post(thread, floor, page, position, sort_floor, author, time, body)"
                   " VALUES (?, ?, ?, ?, ?, ?, '2024-03-04 09:30:00', ?)",
                   [(tid, k + 1, k // 50 + 1, k % 50, k + 1, ('author%d' % (k % 7)).encode(),
                     posts[t * 1000 + k].encode('gbk', errors='ignore')) for k in range(1000)])
db.commit()
open(work + '/dump.txt', 'w', encoding='utf-8').write('\n'.join(posts) + '\n')
random.seed(7)
words = []
for n in range(1, 7):
    while len(words) < 2 * n:
        p = random.choice(posts)
        if len(p) > n + 2:
            s = random.randrange(0, len(p) - n)
            if all('\u4e00' <= c <= '\u9fff' for c in p[s:s + n]):
                words.append(p[s:s + n])
open(work + '/words', 'w', encoding='utf-8').write(' '.join(words + ['龘靐']))
PY
"$library" --db "$work/lib.sqlite3" index 2>/dev/null
now_ns() { date +%s%N; }
stats() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {printf "%.1f / %.1f", a[1]/1e6, a[int((NR+1)/2)]/1e6}'; }
start=$(now_ns); "$library" --db "$work/lib.sqlite3" list >/dev/null; echo "vesk-library list (its start and the library's opening): $((($(now_ns) - start) / 1000000)) ms"
for word in $(cat "$work/words"); do
  vesk=() rg=()
  for _ in $(seq "$runs"); do
    start=$(now_ns); "$library" --db "$work/lib.sqlite3" search --limit 50 "$word" >/dev/null || true
    vesk+=($(($(now_ns) - start)))
    start=$(now_ns); rg -m 50 -F "$word" "$work/dump.txt" >/dev/null || true
    rg+=($(($(now_ns) - start)))
  done
  echo "$word (${#word}): vesk-library $(stats "${vesk[@]}") ms, ripgrep $(stats "${rg[@]}") ms"
done
