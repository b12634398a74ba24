.PHONY: test run
test:
	scripts/test
run:
	scripts/run
