#!/usr/bin/env python3
"""Checks every #include of the tree against tools/include_rules.txt.

Prints each include that crosses a layer the wrong way and exits 1 when there
is any; a source file in a folder the table does not name is a fault too, so
that a new folder has to take its place in the layers. The same pass checks
the calls and forms of tools/banned_calls.txt.
"""
import os
import re
import sys

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SOURCES = ('.h', '.hpp', '.c', '.cc', '.cpp', '.inc')
SKIP = re.compile(r'^(build[^/]*|\.git|fuzz/corpus)(/|$)')
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]')

# The C++ standard library, C++20 (the C headers in their <cxxx> form).
STD = set('''algorithm any array atomic barrier bit bitset cassert cctype cerrno cfenv cfloat charconv chrono
cinttypes climits clocale cmath codecvt compare complex concepts condition_variable coroutine csetjmp csignal
cstdarg cstddef cstdint cstdio cstdlib cstring ctime cuchar cwchar cwctype deque exception execution filesystem
format forward_list fstream functional future initializer_list iomanip ios iosfwd iostream istream iterator latch
limits list locale map memory memory_resource mutex new numbers numeric optional ostream queue random ranges ratio
regex scoped_allocator semaphore set shared_mutex source_location span sstream stack stdexcept stop_token
streambuf string string_view syncstream system_error thread tuple type_traits typeindex typeinfo unordered_map
unordered_set utility valarray variant vector version'''.split())


def load_rules(path):
    rules = {}
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            line = line.split('#', 1)[0].strip()
            if not line:
                continue
            folder, sep, allowed = line.partition(':')
            if not sep:
                sys.exit(f'{path}:{number}: "<folder>: <folders>" expected')
            rules[folder.strip()] = allowed.split()
    return rules


def load_bans(path):
    bans = []
    with open(path, encoding='utf-8') as f:
        for number, line in enumerate(f, 1):
            if not line.strip() or line.lstrip().startswith('#'):
                continue
            parts = [p.strip() for p in line.rstrip('\n').split(' | ')]
            if len(parts) != 3:
                sys.exit(f'{path}:{number}: "<folders> | <expression> | <reason>" expected')
            folders = parts[0].split()
            bans.append(([d for d in folders if not d.startswith('-')],
                         [d[1:] for d in folders if d.startswith('-')], re.compile(parts[1]), parts[2]))
    return bans


def under(rel, folders):
    return any(rel.startswith(d + '/') for d in folders)


def rule_of(rel, rules):
    parts = rel.split('/')[:-1]
    while parts:
        key = '/'.join(parts)
        if key in rules:
            return key, rules[key]
        parts.pop()
    return None, None


def allowed(target, own, allow):
    if '*' in allow:
        return True
    for prefix in [own] + [a for a in allow if a != 'std']:
        if target == prefix or target.startswith(prefix + '/'):
            return True
    return False


def check(top, rules, bans=()):
    faults = []
    for dirpath, dirnames, filenames in os.walk(top):
        rel_dir = os.path.relpath(dirpath, top).replace(os.sep, '/')
        if rel_dir != '.' and SKIP.match(rel_dir):
            dirnames[:] = []
            continue
        dirnames.sort()
        for name in sorted(filenames):
            if not name.endswith(SOURCES):
                continue
            rel = name if rel_dir == '.' else f'{rel_dir}/{name}'
            own, allow = rule_of(rel, rules)
            if own is None:
                faults.append(f'{rel}: its folder has no rule in tools/include_rules.txt')
                continue
            mine = [b for b in bans if under(rel, b[0]) and not under(rel, b[1])]
            with open(os.path.join(dirpath, name), encoding='utf-8', errors='replace') as f:
                for number, line in enumerate(f, 1):
                    code = line.split('//', 1)[0]
                    for _, _, expression, reason in mine:
                        if expression.search(code):
                            faults.append(f'{rel}:{number}: {reason}')
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    kind, target = m.groups()
                    if kind == '"':
                        if not allowed(target, own, allow):
                            faults.append(f'{rel}:{number}: {own} may not include "{target}"')
                    elif 'std' in allow and target not in STD:
                        faults.append(f'{rel}:{number}: {own} may include only the standard library, not <{target}>')
    return faults


def main():
    top = sys.argv[1] if len(sys.argv) > 1 else TOP
    faults = check(top, load_rules(os.path.join(top, 'tools', 'include_rules.txt')),
                   load_bans(os.path.join(top, 'tools', 'banned_calls.txt')))
    for fault in faults:
        print(fault)
    if faults:
        print(f'include rules: {len(faults)} fault(s)')
        return 1
    print('include rules: every include follows the layers, no banned call')
    return 0


if __name__ == '__main__':
    sys.exit(main())
