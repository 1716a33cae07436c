#!/usr/bin/env bash
# Prints the longest functions of the given folders (lines from the first line of the function's
# head to its closing brace, lambdas counted in the function that holds them) and fails when one
# is longer than the limit.
#
# Usage: scripts/function_lengths.sh [-n LIMIT] [-t TOP] [FOLDER...]
#        (defaults: 80, the ten longest, src/operations src/sms)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
limit=80
top=10
while getopts "n:t:" option; do
  case $option in
    n) limit=$OPTARG ;;
    t) top=$OPTARG ;;
    *) exit 2 ;;
  esac
done
shift $((OPTIND - 1))
cd "$root"
[ $# -gt 0 ] || set -- src/operations src/sms

python3 - "$limit" "$top" "$@" <<'EOF'
import pathlib, re, sys

limit, top, folders = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3:]

def code_only(text):
    """The text with comments, string and character literals and preprocessor lines blanked,
    line breaks kept, so that braces in them do not count."""
    out, i, n = [], 0, len(text)
    while i < n:
        c = text[i]
        if text.startswith("//", i) or (c == "#" and (i == 0 or text[i - 1] == "\n")):
            j = text.find("\n", i)
            i = n if j < 0 else j
        elif text.startswith("/*", i):
            j = text.find("*/", i + 2)
            j = n if j < 0 else j + 2
            out.append("\n" * text.count("\n", i, j))
            i = j
        elif text.startswith('R"', i):
            m = re.match(r'R"([^(]*)\(', text[i:])
            end = text.find(")" + m.group(1) + '"', i)
            end = n if end < 0 else end + len(m.group(1)) + 2
            out.append('""' + "\n" * text.count("\n", i, end))
            i = end
        elif c in "\"'":
            j = i + 1
            while j < n and text[j] != c:
                j += 2 if text[j] == "\\" else 1
            out.append(c + c)
            i = j + 1
        else:
            out.append(c)
            i += 1
    return "".join(out)

def functions(path):
    """(length, first line, name) of each function body in the file, outermost only."""
    text = code_only(path.read_text(encoding="utf-8", errors="replace"))
    found, depth, body_depth, head, head_line, line = [], 0, None, "", None, 1
    for c in text:
        if c == "\n":
            line += 1
        if body_depth is None:
            if c == "{":
                is_body = re.search(r"\)\s*(const|override|final|noexcept|mutable|\s)*"
                                    r"(->\s*[\w:<>,\s*&]+)?\s*$", head) is not None
                if is_body and not re.search(r"\b(namespace|class|struct|enum|union)\b[^()]*$", head):
                    name = re.findall(r"([~\w:]+)\s*\(", head)
                    body_depth = depth
                    start = head_line if head_line is not None else line
                    found.append([start, None, name[0] if name else "?"])
                depth += 1
                head, head_line = "", None
            elif c == "}":
                depth -= 1
                head, head_line = "", None
            elif c == ";":
                head, head_line = "", None
            else:
                if head_line is None and not c.isspace():
                    head_line = line
                head += c
                if re.search(r"\b(public|private|protected)\s*:$", head):
                    head, head_line = "", None
        else:
            if c == "{":
                depth += 1
            elif c == "}":
                depth -= 1
                if depth == body_depth:
                    found[-1][1] = line
                    body_depth = None
                    head, head_line = "", None
    return [(end - start + 1, start, name) for start, end, name in found if end]

rows = []
for folder in folders:
    for path in sorted(pathlib.Path(folder).rglob("*")):
        if path.suffix in (".cpp", ".h"):
            rows += [(length, f"{path}:{start}", name) for length, start, name in functions(path)]
rows.sort(key=lambda r: -r[0])
for length, where, name in rows[:top]:
    print(f"{length:5d}  {where}  {name}")
over = [r for r in rows if r[0] > limit]
if over:
    print(f"{len(over)} function(s) over {limit} lines.", file=sys.stderr)
    sys.exit(1)
print(f"No function over {limit} lines.")
EOF
