"""validate_json.py - checks lines of cmctl --json output against cmctl's JSON Schema.

    validate_json.py SCHEMA OUTPUT   every line of OUTPUT must be one JSON value the schema accepts

Prints each line the schema refuses with the reasons, and exits 1 when there is one.
"""
import json
import sys

import jsonschema


def main(schema_path, output_path):
    with open(schema_path, encoding="utf-8") as schema_file:
        schema = json.load(schema_file)
    jsonschema.Draft202012Validator.check_schema(schema)
    validator = jsonschema.Draft202012Validator(schema)
    refused = 0
    lines = 0
    with open(output_path, encoding="utf-8") as output:
        for number, line in enumerate(output, 1):
            lines += 1
            try:
                value = json.loads(line)
            except json.JSONDecodeError as error:
                print(f"line {number}: not JSON ({error}): {line.rstrip()}")
                refused += 1
                continue
            # oneOf reports only that no branch fitted; the branch named by the object's own
            # operation or message says what is wrong with it.
            errors = list(validator.iter_errors(value))
            if errors:
                refused += 1
                print(f"line {number}: {line.rstrip()[:300]}")
                for error in errors:
                    for cause in error.context or [error]:
                        print(f"    {'/'.join(map(str, cause.absolute_path))}: {cause.message[:200]}")
    print(f"{lines} lines, {refused} refused")
    return 1 if refused or lines == 0 else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
