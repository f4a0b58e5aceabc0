# A throw-away MariaDB server for the database tests, started once per
# scripts/test run in a temporary data folder and stopped on exit. Sourced.
# Exports KAVRO_MYSQL_SOCKET, KAVRO_MYSQL_PORT, KAVRO_MYSQL_USER and
# KAVRO_MYSQL_PASSWORD on success; else KAVRO_MYSQL_SKIP with the reason.

KAVRO_MYSQL_DIR=""
KAVRO_MYSQL_PID=""

stop_test_mariadb() {
  if [ -n "$KAVRO_MYSQL_PID" ] && kill -0 "$KAVRO_MYSQL_PID" 2>/dev/null; then
    kill "$KAVRO_MYSQL_PID" 2>/dev/null || true
    for _ in $(seq 1 100); do kill -0 "$KAVRO_MYSQL_PID" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$KAVRO_MYSQL_PID" 2>/dev/null || true
  fi
  KAVRO_MYSQL_PID=""
  [ -n "$KAVRO_MYSQL_DIR" ] && rm -rf "$KAVRO_MYSQL_DIR"
  KAVRO_MYSQL_DIR=""
}

# A TCP port on 127.0.0.1 nothing answers on.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 30000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
  done
  echo "$port"
}

start_test_mariadb() {
  export KAVRO_MYSQL_SKIP=""
  if ! command -v mariadbd >/dev/null || ! command -v mariadb-install-db >/dev/null; then
    export KAVRO_MYSQL_SKIP="mariadb-server is not installed"
    return 0
  fi
  KAVRO_MYSQL_DIR="$(mktemp -d /tmp/kavro-mariadb-XXXXXX)"
  trap stop_test_mariadb EXIT
  local data="$KAVRO_MYSQL_DIR/data" sock="$KAVRO_MYSQL_DIR/mysqld.sock" port
  port="$(free_port)"
  if ! mariadb-install-db --no-defaults --auth-root-authentication-method=normal \
      --user="$(id -un)" --datadir="$data" --skip-test-db >"$KAVRO_MYSQL_DIR/install.log" 2>&1; then
    export KAVRO_MYSQL_SKIP="mariadb-install-db failed: $(tail -n 3 "$KAVRO_MYSQL_DIR/install.log" | tr '\n' ' ')"
    return 0
  fi
  # As Debian runs it: utf8mb4 by default and the default strict sql_mode.
  ${KAVRO_MYSQL_LAUNCH:-} mariadbd --no-defaults --user="$(id -un)" --datadir="$data" --socket="$sock" \
    --port="$port" --bind-address=127.0.0.1 --skip-name-resolve \
    --character-set-server=utf8mb4 --collation-server=utf8mb4_general_ci \
    --pid-file="$KAVRO_MYSQL_DIR/mysqld.pid" --log-error="$KAVRO_MYSQL_DIR/error.log" \
    --skip-log-bin --innodb-buffer-pool-size=16M >/dev/null 2>&1 &
  KAVRO_MYSQL_PID=$!
  for _ in $(seq 1 300); do
    [ -S "$sock" ] && mariadb --no-defaults --socket="$sock" -uroot -e "SELECT 1" >/dev/null 2>&1 && break
    kill -0 "$KAVRO_MYSQL_PID" 2>/dev/null || break
    sleep 0.1
  done
  if ! mariadb --no-defaults --socket="$sock" -uroot -e \
      "CREATE USER 'kavro'@'127.0.0.1' IDENTIFIED BY 'kavro-test';
       GRANT ALL PRIVILEGES ON *.* TO 'kavro'@'127.0.0.1';" >/dev/null 2>&1; then
    export KAVRO_MYSQL_SKIP="the MariaDB server did not start: $(tail -n 3 "$KAVRO_MYSQL_DIR/error.log" 2>/dev/null | tr '\n' ' ')"
    stop_test_mariadb
    return 0
  fi
  export KAVRO_MYSQL_SOCKET="$sock" KAVRO_MYSQL_PORT="$port"
  export KAVRO_MYSQL_USER=kavro KAVRO_MYSQL_PASSWORD=kavro-test
  echo "MariaDB test server on 127.0.0.1:$port (pid $KAVRO_MYSQL_PID)"
}
