// Waiting for a condition in the browser tests: never a fixed sleep, so a loaded machine only
// makes them slower.

import assert from 'node:assert/strict';

// Answers check()'s first truthy answer, asking every 50 ms; fails with what after the timeout.
// A check that throws (a frame replaced while it is looked at) is asked again.
export async function eventually(check, what, timeout = 10000) {
  const end = Date.now() + timeout;
  for (;;) {
    let failure;
    try {
      const answer = await check();
      if (answer) return answer;
    } catch (error) {
      failure = error;
    }
    if (Date.now() > end) assert.fail(`${what} did not happen in time${failure ? `: ${failure.message}` : ''}`);
    await new Promise((resolve) => { setTimeout(resolve, 50); });
  }
}
