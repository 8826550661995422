# The JUnit reports of the example production script and of a program file
# run, read by a real consumer (junitparser): the counts of cases, failures
# and their messages match what the run showed.  usage: BIN_DIR EXAMPLES_DIR
import os
import shutil
import subprocess
import sys
import tempfile
import time

from junitparser import Error, Failure, JUnitXml, Skipped

BIN, EXAMPLES = sys.argv[1], sys.argv[2]
problems = []


def check(condition, what):
    if not condition:
        problems.append(what)


def cases(path):
    return [(suite, case) for suite in JUnitXml.fromfile(path) for case in suite]


def failures(found):
    return [r.message for _, case in found for r in case.result if isinstance(r, Failure)]


def terminal(data, *args, answers=""):
    run = subprocess.run([os.path.join(BIN, "halvorn-terminal"), "--headless", "--data-root",
                          data, *args], input=answers.encode(), capture_output=True, timeout=120)
    return run.returncode, run.stdout.decode("latin-1"), run.stderr.decode("latin-1")


with tempfile.TemporaryDirectory(prefix="halvorn-junit-") as data:
    port = os.path.join(data, "ttySIM")
    sim = subprocess.Popen([os.path.join(BIN, "halvorn-sim"), "--address", "01", "--instant",
                            "--link", port], stdout=subprocess.DEVNULL)
    try:
        while not os.path.exists(port) and sim.poll() is None:
            time.sleep(0.05)
        os.makedirs(os.path.join(data, "AppConfig"))
        os.makedirs(os.path.join(data, "AppPrograms", "AutoControl"))
        with open(os.path.join(data, "AppConfig", "COMM_Ports.cfg"), "w") as f:
            f.write("Axis 01 {%s:115200}\r\n" % port)
        shutil.copy(os.path.join(EXAMPLES, "autocontrol_2.txt"),
                    os.path.join(data, "AppPrograms", "AutoControl"))

        # Three units: a pass, a fail judged by the operator (the loop
        # restarts the unit after its verdict), a pass; then the end of the
        # answers is ESC at the serial number, and the script saves and stops.
        report = os.path.join(data, "script.xml")
        status, out, err = terminal(data, "/A2", "--report", report,
                                    answers="SN-1\nPASS\nSN-2\nFAIL\nOK\nSN-2\nPASS\n")
        check(status == 0, "script run: exit %d\n%s" % (status, err))
        found = cases(report)
        verifies = [c for _, c in found if c.name.startswith("[CMDVERIFY]")]
        checks = [c for _, c in found if c.name.startswith("[USERCHECK]")]
        check(len(verifies) == out.count(" >> LSPD=500"), "one case per [CMDVERIFY]")
        check(len(checks) == out.count("{Check State = "), "one case per [USERCHECK]")
        shown = err.splitlines()
        check(len(found) == len(verifies) + len(checks) + shown.count("Fail") + shown.count("Pass"),
              "and one per verdict shown: %s" % [c.name for _, c in found])
        check(failures(found) == ["the operator judged FAIL", "Fail Count: 1"],
              "failure messages: %s" % failures(found))
        check(out.count("{Check State = FAIL}") == 1, "the run judged one unit FAIL")
        suites = {suite.name: {p.name: p.value for p in suite.properties()}
                  for suite, _ in found}
        check(len(suites) == 3, "a suite per unit: %s" % list(suites))
        serials = [p.get("V1") for p in suites.values()]
        check(serials == ["{Serial Number} SN-1", "{Serial Number} SN-2",
                          "{Serial Number} SN-2"], "the serial numbers: %s" % serials)

        # A program file run with one expected value that the controller
        # does not give.
        program = os.path.join(data, "check.prg")
        with open(os.path.join(EXAMPLES, "test01.prg")) as source, open(program, "w") as f:
            f.write(source.read() + "LSPD, 400\n")
        report = os.path.join(data, "program.xml")
        status, out, err = terminal(data, "--program", program, "--report", report)
        check(status == 1, "program run: exit %d\n%s" % (status, err))
        found = cases(report)
        check(len(found) == out.count(" >> "), "one case per command sent")
        check(failures(found) == ["LSPD: expected 400, got 500"] * out.count("!! Expected:"),
              "failure messages: %s" % failures(found))
        check(not any(isinstance(r, (Error, Skipped)) for _, c in found for r in c.result),
              "every command got its reply")
        check(all(s.name == "check.prg" for s, _ in found), "the suite is the program file")
    finally:
        sim.terminate()
        sim.wait()

for problem in problems:
    print("FAILED:", problem)
sys.exit(1 if problems else 0)
