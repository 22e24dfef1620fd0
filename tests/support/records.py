#!/usr/bin/env python3
"""Answers questions about the requests the test support service recorded.

  records.py FILE count [FIELD=VALUE...]     number of requests (with those fields,
                                             e.g. auth=ok outcome=replied)
  records.py FILE last FIELD                 a field of the last request
  records.py FILE parts                      the last form's parts, one a line:
                                             name, filename, content type, value
  records.py FILE part NAME FIELD            a field of the last form's part NAME
  records.py FILE header NAME                a header of the last request

The last request is the last one that carried a form; absent values print
as "-". A missing file counts as no requests.
"""
import json
import sys


def load(path):
    try:
        with open(path, encoding="utf-8") as f:
            return [json.loads(line) for line in f if line.strip()]
    except FileNotFoundError:
        return []


def show(value):
    return "-" if value is None else str(value)


def main(argv):
    records = load(argv[1])
    query = argv[2]
    with_form = [r for r in records if r.get("parts")]
    last = with_form[-1] if with_form else (records[-1] if records else {})
    if query == "count":
        wanted = [a.split("=", 1) for a in argv[3:]]
        print(sum(1 for r in records if all(show(r.get(k)) == v for k, v in wanted)))
    elif query == "last":
        print(show(last.get(argv[3])))
    elif query == "parts":
        for p in last.get("parts") or []:
            print("\t".join(show(p.get(k)) for k in ("name", "filename", "content_type", "value")))
    elif query == "header":
        print(show((last.get("headers") or {}).get(argv[3].lower())))
    elif query == "part":
        for p in last.get("parts") or []:
            if p.get("name") == argv[3]:
                print(show(p.get(argv[4])))
                break
        else:
            print("-")
    else:
        sys.exit("unknown query " + query)


if __name__ == "__main__":
    main(sys.argv)
