# make run   builds the program and runs it on the shipped example deck (EXAMPLE=... for another
#            deck or task file); the results are in run/ (tevalin.rez, tevalin.csv)
# make plot  draws the figures of the last run (run/tevalin.csv) with gnuplot
# make test  builds everything and runs every test: plain build, under ASan+UBSan, and Release
# make lib   regenerates lib/ from ../shared/data
# make fuzz  runs the fuzzer of the task and library files longer, with a fresh seed
# make fast  builds the fastest program, build-pgo/tevalin: compiled again after a training run on
#            the example tasks, and checked against their blessed reports
# make bench builds that program and times it on the tasks of bench/tasks

JOBS ?= $(shell nproc)
SHARED ?= ../shared
EXAMPLE ?= examples/lox_lh2.deck

# Our own builds stop at any compiler warning; a user's plain cmake build does not.
CONFIGURE = cmake -S . -DTEV_WERROR=ON

.PHONY: all configure build build-san build-release program run plot test test-plain test-san \
        test-release lib clean bless fuzz fast bench

all: build

# Each build directory is configured on every call (a second or two), so that one made by an
# older Makefile or by hand still gets these settings.
configure:
	$(CONFIGURE) -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null

build: configure
	cmake --build build -j $(JOBS)

# The programs `make run` needs: tevalin and the deck composer (lib/ is committed, so no
# generator is built).
program: configure
	cmake --build build -j $(JOBS) --target tevalin tevalin-task

build-san:
	$(CONFIGURE) -B build-san -DCMAKE_BUILD_TYPE=Debug -DTEV_SANITIZE=ON > /dev/null
	cmake --build build-san -j $(JOBS)

build-release:
	$(CONFIGURE) -B build-release -DCMAKE_BUILD_TYPE=Release > /dev/null
	cmake --build build-release -j $(JOBS)

# A deck (.deck) is composed into the task by tevalin-task; a task file is copied as it is.
run: program
	rm -rf run && mkdir -p run && cp -r lib run/lib
	case "$(EXAMPLE)" in \
	  *.deck) ./build/tevalin-task $(EXAMPLE) -o run/topliw.dat ;; \
	  *) cp $(EXAMPLE) run/topliw.dat ;; \
	esac
	cd run && ../build/tevalin

plot: configure
	cmake --build build -j $(JOBS) --target tevalin-plot
	@test -f run/tevalin.csv || $(MAKE) --no-print-directory run
	./build/tevalin-plot run/tevalin.csv

test-plain: build
	cd build && ctest --output-on-failure -j $(JOBS)

test-san: build-san
	cd build-san && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j $(JOBS)

# The Release build (-O3) runs the tests too: they are quick, and the blessed reports then
# show that the optimiser moves no printed digit.
test-release: build-release
	cd build-release && ctest --output-on-failure -j $(JOBS)

test: test-plain test-san test-release

lib: build
	./build/mklib $(SHARED)/data/nasa/thermo.inp $(SHARED)/data/nasa/trans.inp $(SHARED)/data/transport/lj_params.tsv lib
	./build/mkxsec $(SHARED)/data/xsec/momentum_xsec.tsv lib
	./build/mkreact $(SHARED)/data/nasa/thermo.inp lib/reactants.tsv

clean:
	rm -rf build build-san build-release build-pgo run

# Regenerates the blessed reports of the whole-run tests from the current build and library.
bless: program
	@for t in examples/*.dat tests/data/system/*.dat; do \
	  n=$$(basename $$t .dat); rm -rf build/bless && mkdir -p build/bless && cp -r lib build/bless/lib && \
	  cp $$t build/bless/topliw.dat && (cd build/bless && ../tevalin > /dev/null) && \
	  cp build/bless/tevalin.rez tests/blessed/$$n.rez && echo "blessed $$n"; done

# The mutation fuzzer for longer than `make test` runs it: FUZZ_RUNS runs with seed FUZZ_SEED
# (the time by default) on the release build, a tenth of them on the sanitizer build. Each fault
# is listed with its class and case number (rerun: tevfuzz ... --seed S --case K) and its
# reproducer saved under build/fuzz-found/CLASS/SEED-CASE (a new case for tests/regressions).
FUZZ_RUNS ?= 3000
FUZZ_SEED ?= $(shell date +%s)
fuzz: build build-san
	./build/tests/tevfuzz --program build/tevalin --source . --seed $(FUZZ_SEED) \
	  --runs $(FUZZ_RUNS) --jobs $(JOBS) --limit 20 --work build/fuzz-work --save build/fuzz-found
	./build/tests/tevfuzz --program build-san/tevalin --source . --seed $(FUZZ_SEED) \
	  --runs $$(( $(FUZZ_RUNS) / 10 )) --jobs $(JOBS) --limit 120 --work build-san/fuzz-work \
	  --save build/fuzz-found

# The trained program. Phase one builds the program and the deck composer to record their
# branch profile, composes the example decks (the composer's own record is then dropped) and runs
# every example task; phase two compiles the program again with that record. The example tasks
# must then give their blessed reports byte for byte.
FAST_WORK = build-pgo/train
fast:
	$(CONFIGURE) -B build-pgo -DCMAKE_BUILD_TYPE=Release -DTEV_TESTS=OFF -DTEV_PROFILE=generate > /dev/null
	cmake --build build-pgo -j $(JOBS) --target tevalin tevalin-task
	rm -rf $(FAST_WORK) && mkdir -p $(FAST_WORK) && cp -r lib $(FAST_WORK)/lib
	for d in examples/*.deck; do \
	  ./build-pgo/tevalin-task $$d -o $(FAST_WORK)/deck_$$(basename $$d .deck).dat > /dev/null || exit 1; done
	for t in examples/*.dat; do cp $$t $(FAST_WORK)/task_$$(basename $$t); done
	find build-pgo -name '*.gcda' -delete
	cd $(FAST_WORK) && for t in deck_*.dat task_*.dat; do \
	  cp $$t topliw.dat && ../tevalin > /dev/null || exit 1; done
	$(CONFIGURE) -B build-pgo -DTEV_PROFILE=use > /dev/null
	cmake --build build-pgo -j $(JOBS) --target tevalin tevbench
	for t in examples/*.dat; do n=$$(basename $$t .dat); cp $$t $(FAST_WORK)/topliw.dat && \
	  (cd $(FAST_WORK) && ../tevalin > /dev/null) && cmp $(FAST_WORK)/tevalin.rez tests/blessed/$$n.rez || exit 1; done
	@echo "build-pgo/tevalin: trained, and the example tasks give their blessed reports"

# The benchmark: the trained program, BENCH_RUNS runs of every task of bench/tasks; the figures
# are compared with those of the previous make bench (build-pgo/bench-last.tsv).
BENCH_RUNS ?= 21
bench: fast
	./build-pgo/tevbench --program build-pgo/tevalin --lib lib --tasks bench/tasks \
	  --work build-pgo/bench-work --runs $(BENCH_RUNS)
